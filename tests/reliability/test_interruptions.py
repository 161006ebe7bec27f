"""Stopping a run from outside while the service is answering: a Ctrl-C or a
SIGTERM leaves an existing output as it was and no file behind."""

import os
import re
import signal
import subprocess
import sys
import time

import pytest

from CorvaneSDK.sandbox import paths
from support.sample_pdfs import document

CLIENT = """
import sys
from CorvaneSDK import sign, timestamp
entry, url, tsa_url, token, tenant, source, target = sys.argv[1:]
for module in (sign, timestamp):
    module.CRVN_DOMAIN_URL, module.DUMMY_HTTP_TS = url, tsa_url
if entry == "sign":
    sign.sign_test(source, target, token, tenant, "rsa")
else:
    timestamp.timestamp_test(source, target, None, None)
"""


@pytest.fixture
def files(tmp_path):
    source = tmp_path / "in.pdf"
    source.write_bytes(document())
    target = tmp_path / "out.pdf"
    target.write_bytes(b"precious")
    return source, target


def child_environment():
    """Under the sanitizer build the child interpreter needs the sanitizer
    runtimes this one was started with, loaded first, as here."""
    with open("/proc/self/maps") as maps:
        loaded = {line.split()[-1] for line in maps if re.search(r"/lib(asan|ubsan)\.so", line)}
    environment = dict(os.environ)
    if loaded:
        environment["LD_PRELOAD"] = " ".join(sorted(loaded, key=lambda path: "ubsan" in path))
    return environment


def interrupt(sandbox, argv, delayed, signal_number, while_waiting=lambda: None):
    """Runs argv, sends the signal once a request below `delayed` is being
    answered (late); returns the exit code, stderr and the paths requested."""
    sandbox.clear_requests()
    sandbox.faults.delay(delayed, 4)
    process = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                               env=child_environment())
    try:
        deadline = time.monotonic() + 60
        while not any(request.path.startswith(delayed) for request in sandbox.requests):
            assert process.poll() is None, process.communicate()
            assert time.monotonic() < deadline, "no request for %s" % delayed
            time.sleep(0.05)
        while_waiting()
        process.send_signal(signal_number)
        _, err = process.communicate(timeout=60)
    finally:
        if process.poll() is None:
            process.kill()
            process.communicate()
    return process.returncode, err, [request.path for request in sandbox.requests]


@pytest.mark.parametrize("entry, delayed", [("sign", paths.OCSP_PREFIX), ("timestamp", paths.OCSP_PREFIX)])
def test_ctrl_c_stops_the_run_and_keeps_the_output(sandbox, files, entry, delayed):
    source, target = files
    argv = [sys.executable, "-c", CLIENT, entry, sandbox.url, sandbox.open_tsa_url, sandbox.api_token,
            sandbox.tenant_id, str(source), str(target)]
    code, err, requested = interrupt(sandbox, argv, delayed, signal.SIGINT)
    assert err.rstrip().endswith("KeyboardInterrupt"), err
    assert target.read_bytes() == b"precious"
    assert sorted(os.listdir(target.parent)) == ["in.pdf", "out.pdf"]
    # It stopped once the interrupted request returned: nothing else was asked for.
    assert requested[-1].startswith(delayed), requested


def test_sigterm_removes_the_unfinished_output_of_the_command(sandbox, files):
    source, target = files
    unfinished = []
    code, err, _ = interrupt(
        sandbox, [sys.executable, "-m", "CorvaneSDK", "timestamp", str(source), str(target), "--test",
                  "--test-tsa-url", sandbox.open_tsa_url],
        paths.OPEN_TSA_PATH, signal.SIGTERM,
        while_waiting=lambda: unfinished.extend(set(os.listdir(target.parent)) - {"in.pdf", "out.pdf"}))
    assert code == 128 + signal.SIGTERM, err
    # The command's Client writes its output only once the document is complete,
    # so while it waits there may be nothing unfinished; whatever there was is gone.
    assert all(name.startswith("corvane-") for name in unfinished), unfinished
    assert target.read_bytes() == b"precious"
    assert sorted(os.listdir(target.parent)) == ["in.pdf", "out.pdf"]


def test_ctrl_c_stops_the_sign_command_and_keeps_the_output(sandbox, files, monkeypatch):
    # The command's Client runs the procedure without an event loop: Ctrl-C lands as it comes.
    source, target = files
    monkeypatch.setenv("CORVANE_API_TOKEN", sandbox.api_token)
    code, err, requested = interrupt(
        sandbox, [sys.executable, "-m", "CorvaneSDK", "sign", str(source), str(target), "--tenant", sandbox.tenant_id,
                  "--pki", "rsa", "--service-url", sandbox.url],
        paths.OCSP_PREFIX, signal.SIGINT)
    assert code == 130 and err.rstrip().endswith("interrupted"), err
    assert target.read_bytes() == b"precious"
    assert sorted(os.listdir(target.parent)) == ["in.pdf", "out.pdf"]
    assert requested[-1].startswith(paths.OCSP_PREFIX), requested
