import base64
import os
import re
import signal
import socket
import struct
import subprocess
import sys
import threading
import time

import pytest
import requests

from CorvaneSDK.sandbox import USER_INFO_PATH, Sandbox
from CorvaneSDK.sandbox.server import MAX_BODY_SIZE


def _connectable(port):
    with socket.socket() as probe:
        return probe.connect_ex(("127.0.0.1", port)) == 0


def test_exit_leaves_no_thread_and_frees_the_port():
    threads_before = set(threading.enumerate())
    outcome = []
    with Sandbox(log=False) as sb:
        port = sb.port
        assert _connectable(port)
        # A kept-alive connection left idle in the client's pool must not hold the shutdown up.
        kept = requests.Session()
        assert kept.get(sb.url + "/aia/root.cer", timeout=10).status_code == 200
        # A request stuck in a long delay must not hold the shutdown up.
        sb.faults.delay("/aia", 600)

        def stuck_client():
            try:
                outcome.append(requests.get(sb.url + "/aia/root.cer", timeout=60).status_code)
            except requests.exceptions.RequestException:
                outcome.append("cut off")
        client = threading.Thread(target=stuck_client)
        client.start()
        for _ in range(6000):  # until the stuck request has arrived (at most a minute)
            if len(sb.requests) >= 2:
                break
            threading.Event().wait(0.01)
        # A client that connects and sends nothing must not hold it up either.
        idle = socket.create_connection(("127.0.0.1", port))
    client.join(60)
    idle.close()
    kept.close()
    assert not client.is_alive() and outcome
    # Threads of other servers (the suite's shared sandbox) may end meanwhile;
    # none that this sandbox started may be left.
    assert set(threading.enumerate()) - threads_before == set()
    assert not sb.running
    assert not _connectable(port)
    with socket.socket() as rebind:
        rebind.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        rebind.bind(("127.0.0.1", port))
    assert not os.path.exists(sb.ca_bundle_path)  # the ephemeral directory is gone
    with pytest.raises(RuntimeError):
        sb.start()


def _statuses(connection):
    """The status codes of the answers read from ``connection`` until the server closes it."""
    received = b""
    while True:
        chunk = connection.recv(65536)
        if not chunk:
            return re.findall(rb"HTTP/1\.1 (\d{3}) ", received)
        received += chunk


def test_connection_is_kept_only_while_each_request_was_read_whole(sandbox):
    get = b"GET /aia/root.cer HTTP/1.1\r\nHost: sandbox\r\n\r\n"
    # A body larger than the sandbox reads is left unread: were the connection kept,
    # its bytes would be taken for the next request.
    too_large = (b"POST /ocsp/root HTTP/1.1\r\nHost: sandbox\r\nContent-Length: %d\r\n\r\n"
                 % (MAX_BODY_SIZE + 1)) + b"GET /aia/root.cer HTTP/1.1\r\n\r\n"
    with socket.create_connection(("127.0.0.1", sandbox.port), timeout=30) as connection:
        connection.sendall(get + get + too_large)
        assert _statuses(connection) == [b"200", b"200", b"413"]


def test_port_in_use_fails_cleanly():
    threads_before = set(threading.enumerate())
    with socket.socket() as taken:
        taken.bind(("127.0.0.1", 0))
        taken.listen(1)
        with pytest.raises(OSError):
            Sandbox(port=taken.getsockname()[1], log=False).start()
    assert set(threading.enumerate()) - threads_before == set()


def test_request_log_names_paths_but_no_secret():
    lines = []
    with Sandbox(log=lines.append) as sb:
        requests.post(sb.url + USER_INFO_PATH + "?api_token=" + sb.api_token,
                      json={"tenant_id": sb.tenant_id}, timeout=10,
                      headers={"X-Corvane-Authorization": sb.api_token})
        requests.post(sb.tsa_url, data=b"x", auth=(sb.tsa_username, sb.tsa_password), timeout=10)
        requests.post(sb.tsa_url, data=b"x", timeout=10)
        secrets = [sb.api_token, sb.tsa_password,
                   base64.b64encode(("%s:%s" % (sb.tsa_username, sb.tsa_password)).encode()).decode()]
    assert [line.split()[:3] for line in lines] == [
        ["POST", USER_INFO_PATH, "200"], ["POST", "/tsa/rfc3161", "200"],
        ["POST", "/tsa/rfc3161", "401"]]
    assert not [line for line in lines for secret in secrets if secret in line]


def test_command_line_runs_in_the_foreground(tmp_path):
    state = tmp_path / "state"
    process = subprocess.Popen(
        [sys.executable, "-m", "CorvaneSDK.sandbox", "--port", "0", "--state-dir", str(state)],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    watchdog = threading.Timer(120, process.kill)
    watchdog.start()
    try:
        banner = []
        for line in process.stdout:
            banner.append(line)
            if line.startswith("Press Ctrl-C"):
                break
        text = "".join(banner)
        assert "Corvane sandbox running at http://127.0.0.1:" in text, text
        url = text.split("running at ", 1)[1].split()[0]
        token = text.split("API token", 1)[1].split()[0]
        assert "corvane-dev" in text and "Grace Hopper" in text and "(none)" in text
        response = requests.post(url + USER_INFO_PATH, json={"tenant_id": "corvane-dev"},
                                 headers={"X-Corvane-Authorization": token}, timeout=10)
        assert response.json()["result"]["user_id"] == "u-1001"
        assert (state / "ca-bundle.pem").exists()
        process.send_signal(signal.SIGINT)
        out, err = process.communicate(timeout=60)
    finally:
        watchdog.cancel()
        if process.poll() is None:
            process.kill()
            process.communicate()
    assert process.returncode == 0
    assert "stopped" in out
    assert "POST %s 200" % USER_INFO_PATH in err
    assert token not in err


def test_command_line_reports_a_bad_configuration(tmp_path):
    broken = tmp_path / "broken.json"
    broken.write_text("[]")
    done = subprocess.run([sys.executable, "-m", "CorvaneSDK.sandbox", "--config", str(broken)],
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == 2
    assert "tenants" in done.stderr


def test_command_line_takes_options_after_a_separator(tmp_path):
    from CorvaneSDK.sandbox.__main__ import _parse_args
    args = _parse_args(["--", "--port", "8123", "--state-dir", str(tmp_path)])
    assert (args.port, args.state_dir) == (8123, str(tmp_path))


def test_a_client_resetting_an_idle_kept_connection_is_no_error(capsys):
    with Sandbox(log=False) as sb:
        connection = socket.create_connection(("127.0.0.1", sb.port), timeout=30)
        connection.sendall(b"GET /aia/root.cer HTTP/1.1\r\nHost: sandbox\r\n\r\n")
        assert connection.recv(65536).startswith(b"HTTP/1.1 200")
        time.sleep(0.2)  # the server now waits on the kept connection for a next request
        # Closing with a zero linger time resets the connection instead of ending it.
        connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        connection.close()
    assert "Traceback" not in capsys.readouterr().err
