"""Which HTTP session the library's own requests (timestamp, OCSP, CRL, AIA) go through."""

import asyncio
import hashlib
import logging
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

import pytest
import requests

from CorvaneSDK.CorvaneSign.corvane_certvalidator import ValidationContext
from CorvaneSDK.CorvaneSign.corvane_certvalidator.fetchers import Fetcher
from CorvaneSDK.CorvaneSign.corvane_signature.sign.signers import ExternalSigner
from CorvaneSDK.CorvaneSign.corvane_signature.sign.timestamps import HTTPTimeStamper


class _RecordingSession(requests.Session):
    def __init__(self):
        super().__init__()
        self.urls = []
        self.closed = False

    def request(self, method, url, *args, **kwargs):
        self.urls.append(url)
        return super().request(method, url, *args, **kwargs)

    def close(self):
        self.closed = True
        super().close()


def test_a_given_session_carries_every_request_and_stays_open(sandbox):
    digest = hashlib.sha256(b"document").digest()
    signature, cert = sandbox.sign_digest(digest, pki="ecdsa")
    sandbox.clear_requests()
    sandbox.faults.ocsp_down()  # so that CRLs are fetched too
    session = _RecordingSession()
    signer = ExternalSigner(signing_cert=cert, signature_value=signature)
    attrs = asyncio.run(signer.signed_attrs(digest, "sha256"))
    stamper = HTTPTimeStamper(sandbox.open_tsa_url, session=session)
    container = asyncio.run(signer.async_sign_prescribed_attributes("sha256", signed_attrs=attrs,
                                                                    timestamper=stamper))
    context = ValidationContext(allow_fetching=True, session=session)
    context.collect_for_cms(container)
    stamper.close()
    context.close()

    kinds = {url[len(sandbox.url):].split("/")[1] for url in session.urls}
    assert kinds == {"TSS", "ocsp", "crl", "aia"}  # TSS: the open timestamp server
    assert len(session.urls) == len(sandbox.requests)
    assert not session.closed


class _KeepAliveHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        self.server.peers.append(self.client_address)
        self.server.authorizations.append(self.headers.get("Authorization"))
        if self.path == "/moved":
            self.send_response(302)
            self.send_header("Location", "/a")
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        if self.path.startswith("/slow"):
            time.sleep(0.2)
        body = b"via proxy" if self.path.startswith("http://") else b"ok"  # proxies get absolute URLs
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def finish(self):
        super().finish()
        self.server.closed.set()

    def log_message(self, *args):
        pass


@pytest.fixture
def local_server():
    server = ThreadingHTTPServer(("127.0.0.1", 0), _KeepAliveHandler)
    server.peers, server.authorizations, server.closed = [], [], threading.Event()
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    try:
        yield server, "http://127.0.0.1:%d" % server.server_address[1]
    finally:
        server.shutdown()
        server.server_close()
        thread.join()


def test_own_requests_follow_redirects_and_what_the_environment_names(local_server, monkeypatch, tmp_path):
    server, base = local_server
    assert Fetcher(timeout=5).get(base + "/moved", "test server") == b"ok"
    assert set(server.authorizations) == {None}
    (tmp_path / "netrc").write_text("machine 127.0.0.1 login reader password secret\n")
    monkeypatch.setenv("NETRC", str(tmp_path / "netrc"))
    assert Fetcher(timeout=5).get(base + "/a", "test server") == b"ok"
    assert server.authorizations[-1].startswith("Basic ")
    for name in ("no_proxy", "NO_PROXY", "all_proxy", "ALL_PROXY"):
        monkeypatch.delenv(name, raising=False)
    monkeypatch.setenv("HTTP_PROXY", base)
    monkeypatch.setenv("http_proxy", base)
    assert Fetcher(timeout=5).get("http://ocsp.example.invalid/x", "OCSP responder") == b"via proxy"


def test_own_session_reuses_one_connection_and_closes_with_its_owner(local_server):
    server, base = local_server
    fetcher = Fetcher(timeout=5)
    assert fetcher.get(base + "/a", "test server") == b"ok"
    assert fetcher.get(base + "/b", "test server") == b"ok"
    assert len(server.peers) == 2 and server.peers[0] == server.peers[1]
    assert not server.closed.is_set()
    del fetcher  # the call that made it is over: its connection must not linger
    assert server.closed.wait(10)


def test_an_object_shared_by_threads_keeps_their_connections_quietly(local_server, caplog):
    # A pool that is too small drops the extra connections with a warning on stderr.
    _, base = local_server
    fetcher = Fetcher(timeout=5)
    workers = [threading.Thread(target=fetcher.get, args=(base + "/slow%d" % i, "test server"))
               for i in range(4)]
    with caplog.at_level(logging.WARNING):
        for worker in workers:
            worker.start()
        for worker in workers:
            worker.join()
    assert not [record.getMessage() for record in caplog.records]


def test_a_call_keeps_one_library_connection_per_host(service, tmp_path, monkeypatch, capsys):
    # Timestamp server, OCSP and CA certificates all live on the sandbox's one
    # host; the two requests to the signing service each have their own.
    import urllib3

    import CorvaneSDK.sign as sign
    import CorvaneSDK.timestamp as timestamp
    from support.sample_pdfs import document

    connects = []
    real_connect = urllib3.connection.HTTPConnection.connect

    def counted_connect(self):
        connects.append((self.host, self.port))
        return real_connect(self)

    monkeypatch.setattr(urllib3.connection.HTTPConnection, "connect", counted_connect)
    source = tmp_path / "in.pdf"
    source.write_bytes(document())
    sign.sign_test(str(source), str(tmp_path / "signed.pdf"), service.api_token, service.tenant_id, "rsa")
    assert len(connects) == 2 + 1
    del connects[:]
    timestamp.timestamp_test(str(source), str(tmp_path / "stamped.pdf"), None, None)
    assert capsys.readouterr().out == "Done\n"
    assert len(connects) == 1
