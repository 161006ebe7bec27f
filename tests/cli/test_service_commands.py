"""corvane sign and corvane timestamp against the sandbox: what the options put
in the document, exit codes by kind of failure, standard streams, batches,
and the API token kept out of every output."""

import os
import socket
import subprocess
import sys
import time

import pytest

from CorvaneSDK.cli.service_commands import SERVICE_URL, TEST_TSA_URL, TOKEN_VARIABLE
from CorvaneSDK.sandbox import paths
from support.pdf_oracles import qpdf_objects
from support.sample_pdfs import document

WRONG_TOKEN = "wrong-token-4f9c2e7d1b"


@pytest.fixture
def source(tmp_path):
    path = tmp_path / "in.pdf"
    path.write_bytes(document(pages=2))
    return path


@pytest.fixture
def at_sandbox(sandbox, monkeypatch):
    """The options that point a command at the sandbox, with its token in the environment."""
    monkeypatch.setenv(TOKEN_VARIABLE, sandbox.api_token)
    return ["--tenant", sandbox.tenant_id, "--service-url", sandbox.url]


def tsa_paths(sandbox):
    return {request.path for request in sandbox.requests if request.path in paths.TSA_PATHS}


def own_lines(err):
    """The command's lines on stderr, without the in-process sandbox's request log."""
    return [line for line in err.splitlines() if not line.startswith("corvane-sandbox:")]


@pytest.mark.parametrize("command, test_variant", [
    ("sign", False), ("sign", True), ("timestamp", False), ("timestamp", True)])
def test_success_writes_a_document_that_verifies(corvane, sandbox, at_sandbox, source, tmp_path,
                                                 command, test_variant):
    target = tmp_path / "out.pdf"
    options = list(at_sandbox)
    if command == "sign":
        options += ["--pki", "ecdsa", "--email", sandbox.users[2]["user_email"]]
    if test_variant:
        options += ["--test", "--test-tsa-url", sandbox.open_tsa_url]
    run = corvane(command, source, target, *options)
    assert run.code == 0, run.err
    assert "wrote %s" % target in run.err and run.out == ""
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


def test_signature_options_reach_the_document(corvane, sandbox, at_sandbox, source, tmp_path):
    target = tmp_path / "out.pdf"
    run = corvane("sign", source, target, *at_sandbox, "--pki", "rsa", "--field", "Approval",
                  "--reason", "Checked by QA", "--location", "Lyon", "--contact", "qa@example.org",
                  "--visible", "2:300,90,100,40", "--certify", "2", "--level", "B-T", "--timeout", "20")
    assert run.code == 0, run.err
    assert "wrote %s (Approval, B-T)" % target in run.err
    verified = corvane("verify", target, "--trust", sandbox.root_cert_path, "--json")
    entry = verified.entry("Approval")
    assert (entry["reason"], entry["pades_level"]) == ("Checked by QA", "B-T")
    assert [entry["type"] for entry in verified.report["signatures"]] == ["signature"]
    objects = {key: item["value"] for key, item in qpdf_objects(target.read_bytes()).items()
               if isinstance(item, dict) and isinstance(item.get("value"), dict)}
    (signature,) = [value for value in objects.values() if value.get("/Type") == "/Sig"]
    assert (signature["/Location"], signature["/ContactInfo"]) == ("u:Lyon", "u:qa@example.org")
    (reference,) = signature["/Reference"]
    assert (reference["/TransformMethod"], reference["/TransformParams"]["/P"]) == ("/DocMDP", 2)
    (widget,) = [value for value in objects.values() if value.get("/T") == "u:Approval"]
    assert widget["/Rect"] == [100, 40, 300, 90]
    assert widget["/P"] == [value for value in objects.values() if value.get("/Type") == "/Pages"][0]["/Kids"][1]


def test_second_signer_gets_the_next_free_field(corvane, sandbox, at_sandbox, source, tmp_path):
    first, second = tmp_path / "first.pdf", tmp_path / "second.pdf"
    assert corvane("sign", source, first, *at_sandbox, "--pki", "rsa").code == 0
    run = corvane("sign", first, second, *at_sandbox, "--pki", "ecdsa", "--email", sandbox.users[2]["user_email"])
    assert run.code == 0, run.err
    verified = corvane("verify", second, "--trust", sandbox.root_cert_path, "--json")
    assert verified.code == 0
    assert [entry["field"] for entry in verified.report["signatures"] if entry["type"] == "signature"] == [
        "Signature1", "Signature2"]


def _closed_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


@pytest.mark.parametrize("failure, code, message", [
    ("refused", 1, "missing or unknown API token"),
    ("unreachable", 4, "cannot connect"),
    ("timed out", 4, "no answer within 0.5 s"),
    ("not a PDF", 5, "PDF"),
    ("missing input", 5, "cannot read"),
])
def test_each_failure_is_one_line_with_its_exit_code(corvane, sandbox, at_sandbox, source, tmp_path,
                                                     monkeypatch, failure, code, message):
    options = at_sandbox + ["--pki", "rsa"]
    if failure == "refused":
        monkeypatch.setenv(TOKEN_VARIABLE, WRONG_TOKEN)
    elif failure == "unreachable":
        options[3] = "http://127.0.0.1:%d" % _closed_port()
    elif failure == "timed out":
        sandbox.faults.delay(paths.USER_INFO_PATH, 10)
        options += ["--timeout", "0.5"]
    elif failure == "not a PDF":
        source.write_bytes(b"hello, not a PDF\n")
    else:
        source = tmp_path / "nowhere.pdf"
    target = tmp_path / "out.pdf"
    started = time.monotonic()
    run = corvane("sign", source, target, *options)
    assert time.monotonic() - started < 8  # the time-out holds, with its retries
    assert run.code == code, run.err
    assert message in run.err and len(own_lines(run.err)) == 1 and "Traceback" not in run.err
    assert run.out == "" and not target.exists()
    for secret in (WRONG_TOKEN, sandbox.api_token):
        assert secret not in run.err


@pytest.mark.parametrize("arguments, message", [
    (["--visible", "0:10,10,100,50"], "page"),
    (["--visible", "1:10,10,10,50"], "no area"),
    (["--level", "B-X"], "B-X"),
    (["--timeout", "0"], "above 0"),
    (["--field", " "], "field"),
    (["--out-dir", "DIR", "a/x.pdf", "b/x.pdf"], "same output: x.pdf"),
    (["--out-dir", "DIR", "-"], "standard input"),
    (["only-one.pdf"], "IN OUT"),
])
def test_bad_option_values_stop_before_any_request(corvane, sandbox, at_sandbox, tmp_path, arguments, message):
    arguments = [str(tmp_path / "out") if item == "DIR" else item for item in arguments]
    positional = [] if any(item.endswith(".pdf") or item == "-" for item in arguments) else ["in.pdf", "out.pdf"]
    run = corvane("sign", *positional, *arguments, *at_sandbox, "--pki", "rsa")
    assert run.code == 5 and message in run.err
    assert len(own_lines(run.err)) == 1 and sandbox.requests == []


def test_token_problems_stop_before_any_request(corvane, sandbox, source, tmp_path, monkeypatch):
    monkeypatch.delenv(TOKEN_VARIABLE, raising=False)
    for options, message in (([], "no API token"), (["--token-file", "/nonexistent/token"], "cannot read the token file")):
        run = corvane("sign", source, tmp_path / "out.pdf", "--tenant", sandbox.tenant_id, "--pki", "rsa",
                      "--service-url", sandbox.url, *options)
        assert run.code == 5 and message in run.err
    assert sandbox.requests == []


def test_token_file_wins_and_no_secret_is_printed(corvane, sandbox, at_sandbox, source, tmp_path):
    token_file = tmp_path / "token"
    token_file.write_text(WRONG_TOKEN + "\n")
    run = corvane("timestamp", source, tmp_path / "out.pdf", *at_sandbox, "--token-file", token_file)
    assert run.code == 1 and "missing or unknown API token" in run.err
    for secret in (WRONG_TOKEN, sandbox.api_token):
        assert secret not in run.out + run.err


def test_a_service_that_echoes_the_token_is_scrubbed(corvane, sandbox, at_sandbox, source, tmp_path):
    sandbox.faults.respond(paths.USER_INFO_PATH, 403, "token %s is suspended" % sandbox.api_token)
    run = corvane("sign", source, tmp_path / "out.pdf", *at_sandbox, "--pki", "rsa")
    assert run.code == 1 and "token *** is suspended" in run.err
    assert sandbox.api_token not in run.out + run.err


def test_timestamp_test_variant_needs_no_token(corvane, sandbox, source, tmp_path, monkeypatch):
    monkeypatch.delenv(TOKEN_VARIABLE, raising=False)
    target = tmp_path / "out.pdf"
    run = corvane("timestamp", source, target, "--test", "--test-tsa-url", sandbox.open_tsa_url)
    assert run.code == 0 and target.exists()
    assert not [r for r in sandbox.requests if r.path in paths.SERVICE_PATHS]


def test_batch_goes_on_after_a_failure_and_exits_with_the_worst_code(corvane, sandbox, at_sandbox, tmp_path):
    inputs = []
    for name, data in (("a.pdf", document()), ("broken.pdf", b"not a PDF"), ("c.pdf", document(pages=3))):
        inputs.append(tmp_path / name)
        inputs[-1].write_bytes(data)
    out_dir = tmp_path / "signed"
    run = corvane("timestamp", *inputs, "--out-dir", out_dir, *at_sandbox)
    assert run.code == 5
    assert sorted(os.listdir(out_dir)) == ["a.pdf", "c.pdf"]
    failures = [line for line in own_lines(run.err) if not line.startswith("wrote ")]
    assert len(failures) == 1 and str(inputs[1]) in failures[0]
    for name in ("a.pdf", "c.pdf"):
        assert corvane("verify", out_dir / name, "--trust", sandbox.root_cert_path).code == 0
    assert inputs[0].read_bytes() == document()  # inputs are left alone


def _environment(**extra):
    environment = {key: value for key, value in os.environ.items() if key != TOKEN_VARIABLE}
    environment.update(extra)
    return environment


def test_standard_input_to_standard_output_as_a_process(sandbox, tmp_path):
    result = subprocess.run(
        [sys.executable, "-m", "CorvaneSDK", "sign", "-", "-", "--tenant", sandbox.tenant_id, "--pki", "rsa",
         "--service-url", sandbox.url],
        input=document(), capture_output=True, cwd=tmp_path,
        env=_environment(CORVANE_API_TOKEN=sandbox.api_token), timeout=120)
    assert result.returncode == 0, result.stderr
    assert result.stdout.startswith(document()) and b"wrote standard output" in result.stderr
    (tmp_path / "signed.pdf").write_bytes(result.stdout)
    verified = subprocess.run([sys.executable, "-m", "CorvaneSDK", "verify", "signed.pdf", "--trust",
                               sandbox.root_cert_path], cwd=tmp_path, capture_output=True, timeout=120)
    assert verified.returncode == 0, verified.stdout


def _imported(arguments, cwd, env):
    """Module names a fresh `python -m CorvaneSDK ARGS` imported, and its exit code."""
    result = subprocess.run([sys.executable, "-X", "importtime", "-m", "CorvaneSDK", *arguments],
                            capture_output=True, text=True, cwd=cwd, env=env, timeout=120)
    names = {line.rsplit("|", 1)[-1].strip() for line in result.stderr.splitlines()
             if line.startswith("import time:")}
    return names, result.returncode


def test_each_command_imports_only_what_it_needs(sandbox, signed_at, source, tmp_path):
    environment = _environment(CORVANE_API_TOKEN=sandbox.api_token)
    names, code = _imported(["sign", str(source), "out.pdf", "--tenant", sandbox.tenant_id, "--pki", "rsa",
                             "--service-url", sandbox.url], tmp_path, environment)
    assert code == 0 and "CorvaneSDK.client" in names
    # The Client drives the procedures without an event loop, and the command
    # knows the service's address without loading a fixed module.
    assert not {"asyncio", "CorvaneSDK.sign", "CorvaneSDK.timestamp"} & names
    # The Client reads the signing time with verification's date parser, and nothing else of it.
    assert {name for name in names if name.startswith(("CorvaneSDK.verification.", "CorvaneSDK.sandbox"))} <= {
        "CorvaneSDK.verification.pdf_values"}
    # A B-B signature validates no certificate path, so the path validator stays unloaded.
    names, code = _imported(["sign", str(source), "out-b.pdf", "--tenant", sandbox.tenant_id, "--pki", "rsa",
                             "--level", "B-B", "--service-url", sandbox.url], tmp_path, environment)
    assert code == 0 and not {"cryptography.x509.verification",
                              "CorvaneSDK.CorvaneSign.corvane_certvalidator.path_policy"} & names
    names, code = _imported(["verify", str(signed_at["B-LTA"]), "--trust", sandbox.root_cert_path],
                            tmp_path, environment)
    assert code == 0 and "CorvaneSDK.verification" in names
    assert not {name for name in names
                if name.startswith(("CorvaneSDK.sandbox", "CorvaneSDK.sign", "CorvaneSDK.client",
                                    "CorvaneSDK.CorvaneSign.corvane_signature.sign.signers"))}


def test_default_addresses_are_the_fixed_modules():
    from CorvaneSDK import sign, timestamp
    for module in (sign, timestamp):
        assert (module.CRVN_DOMAIN_URL, module.DUMMY_HTTP_TS) == (SERVICE_URL, TEST_TSA_URL)


def test_console_script_verifies_as_a_process(sandbox, signed_at, tmp_path):
    script = os.path.join(os.path.dirname(sys.executable), "corvane")
    result = subprocess.run([script, "verify", str(signed_at["B-LTA"]), "--trust", sandbox.root_cert_path],
                            capture_output=True, text=True, cwd=tmp_path, env=_environment(), timeout=120)
    assert result.returncode == 0, result.stderr
    assert "B-LTA" in result.stdout

