"""corvane sign and corvane timestamp against the sandbox: success paths,
refusals, and the API token kept out of every output."""

import os
import subprocess
import sys

import pytest

from CorvaneSDK.cli.service_commands import TOKEN_VARIABLE
from CorvaneSDK.sandbox import paths
from support.sample_pdfs import document

WRONG_TOKEN = "wrong-token-4f9c2e7d1b"


@pytest.fixture
def source(tmp_path):
    path = tmp_path / "in.pdf"
    path.write_bytes(document(pages=2))
    return path


def tsa_paths(sandbox):
    return {request.path for request in sandbox.requests if request.path in paths.TSA_PATHS}


@pytest.mark.parametrize("command, test_variant", [
    ("sign", False), ("sign", True), ("timestamp", False), ("timestamp", True)])
def test_success_writes_a_document_that_verifies(corvane, sandbox, source, tmp_path, monkeypatch,
                                                 command, test_variant):
    monkeypatch.setenv(TOKEN_VARIABLE, sandbox.api_token)
    target = tmp_path / "out.pdf"
    options = ["--tenant", sandbox.tenant_id, "--service-url", sandbox.url]
    if command == "sign":
        options += ["--pki", "ecdsa", "--email", sandbox.users[2]["user_email"]]
    if test_variant:
        options += ["--test", "--test-tsa-url", sandbox.open_tsa_url]
    run = corvane(command, source, target, *options)
    assert run.code == 0, run.err
    assert "wrote %s" % target in run.err
    assert tsa_paths(sandbox) == {paths.OPEN_TSA_PATH if test_variant else paths.AUTH_TSA_PATH}
    assert sandbox.api_token not in run.out + run.err

    verified = corvane("verify", target, "--trust", sandbox.root_cert_path, "--json")
    assert verified.code == 0
    kinds = [entry["type"] for entry in verified.report["signatures"]]
    if command == "sign":
        assert kinds == ["signature", "document timestamp"]
        assert verified.entry("Signature1")["pades_level"] == "B-LTA"
        assert verified.entry("Signature1")["certificate_chain"][0] == sandbox.users[2]["user_full_name"]
    else:
        assert kinds == ["document timestamp"]


def test_timestamp_test_variant_needs_no_token(corvane, sandbox, source, tmp_path, monkeypatch):
    monkeypatch.delenv(TOKEN_VARIABLE, raising=False)
    target = tmp_path / "out.pdf"
    run = corvane("timestamp", source, target, "--test", "--test-tsa-url", sandbox.open_tsa_url)
    assert run.code == 0 and target.exists()
    assert not [r for r in sandbox.requests if r.path in paths.SERVICE_PATHS]


@pytest.mark.parametrize("command", ["sign", "timestamp"])
def test_wrong_token_is_refused_and_never_printed(corvane, sandbox, source, tmp_path, monkeypatch, command):
    token_file = tmp_path / "token"
    token_file.write_text(WRONG_TOKEN + "\n")
    monkeypatch.setenv(TOKEN_VARIABLE, sandbox.api_token)  # --token-file wins
    target = tmp_path / "out.pdf"
    options = ["--pki", "rsa"] if command == "sign" else []
    run = corvane(command, source, target, "--tenant", sandbox.tenant_id, "--service-url", sandbox.url,
                  "--token-file", token_file, *options)
    assert run.code == 1
    assert "missing or unknown API token" in run.err  # the service's own words
    assert "no output was written" in run.err
    expected = "Error: get user info" if command == "sign" else "Error: get timestamp info"
    assert expected in run.out.splitlines()
    assert not target.exists()
    for secret in (WRONG_TOKEN, sandbox.api_token):
        assert secret not in run.out + run.err


def test_a_service_that_echoes_the_token_is_scrubbed(corvane, sandbox, source, tmp_path, monkeypatch):
    monkeypatch.setenv(TOKEN_VARIABLE, sandbox.api_token)
    sandbox.faults.respond(paths.USER_INFO_PATH, 403, "token %s is suspended" % sandbox.api_token)
    run = corvane("sign", source, tmp_path / "out.pdf", "--tenant", sandbox.tenant_id, "--pki", "rsa",
                  "--service-url", sandbox.url)
    assert run.code == 1 and "token *** is suspended" in run.err
    assert sandbox.api_token not in run.out + run.err


@pytest.mark.parametrize("options, message", [
    ([], "no API token"),
    (["--token-file", "/nonexistent/token"], "cannot read the token file"),
])
def test_missing_token_stops_before_any_request(corvane, sandbox, source, tmp_path, monkeypatch, options,
                                                message):
    monkeypatch.delenv(TOKEN_VARIABLE, raising=False)
    run = corvane("sign", source, tmp_path / "out.pdf", "--tenant", sandbox.tenant_id, "--pki", "rsa",
                  "--service-url", sandbox.url, *options)
    assert run.code == 1 and message in run.err
    assert sandbox.requests == []


def _environment(**extra):
    environment = {key: value for key, value in os.environ.items() if key != TOKEN_VARIABLE}
    environment.update(extra)
    return environment


def test_python_dash_m_refusal_as_a_process(sandbox, source, tmp_path):
    result = subprocess.run(
        [sys.executable, "-m", "CorvaneSDK", "sign", str(source), str(tmp_path / "out.pdf"), "--tenant",
         sandbox.tenant_id, "--pki", "rsa", "--service-url", sandbox.url],
        capture_output=True, text=True, cwd=tmp_path, env=_environment(CORVANE_API_TOKEN=WRONG_TOKEN),
        timeout=120)
    assert result.returncode == 1
    assert result.stdout.splitlines() == ["Error", "Error: get user info"]
    assert "missing or unknown API token" in result.stderr
    assert WRONG_TOKEN not in result.stdout + result.stderr


def test_console_script_verifies_as_a_process(sandbox, signed_at, tmp_path):
    script = os.path.join(os.path.dirname(sys.executable), "corvane")
    result = subprocess.run([script, "verify", str(signed_at["B-LTA"]), "--trust", sandbox.root_cert_path],
                            capture_output=True, text=True, cwd=tmp_path, env=_environment(), timeout=120)
    assert result.returncode == 0, result.stderr
    assert "B-LTA" in result.stdout
