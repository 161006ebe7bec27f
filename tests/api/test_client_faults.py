"""Each kind of failure reaches the caller as its own exception, with a
message that says what failed and never the token; time-outs and retries."""

import socket
import time

import pytest

from CorvaneSDK import (Client, CorvaneError, OutputError, PdfError, ServiceRefused, ServiceUnavailable,
                        TimestampError, ValidationDataError)
from CorvaneSDK.sandbox.paths import SIGN_INFO_PATH, USER_INFO_PATH


def _free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


@pytest.mark.parametrize("fault, level, expected, message", [
    (None, "B-B", ServiceRefused, r"\(HTTP 401\): missing or unknown API token"),
    (lambda sandbox: sandbox.faults.respond(SIGN_INFO_PATH, 403, "user is locked"), "B-B", ServiceRefused,
     r"\(HTTP 403\): user is locked"),
    (lambda sandbox: sandbox.faults.tsa_reject(), "B-T", TimestampError, "timestamp server"),
    (lambda sandbox: (sandbox.faults.ocsp_down(), sandbox.faults.crl_down()), "B-LT", ValidationDataError,
     "OCSP responder .* answered HTTP 500; CRL .* answered HTTP 500"),
    (lambda sandbox: sandbox.faults.signature_not_base64(), "B-B", CorvaneError, "answer cannot be used"),
], ids=["refused-token", "refused-signing", "timestamp", "validation-data", "unusable-answer"])
def test_failures_are_typed(sandbox, pdf, fault, level, expected, message):
    # Without a fault switch, the fault is a token the service does not know.
    token = sandbox.api_token if fault else "wrong-token-123"
    if fault:
        fault(sandbox)
    client = Client(sandbox.url, token, sandbox.tenant_id, timeout=10.0, retries=0)
    with pytest.raises(expected, match=message) as caught:
        client.sign(pdf, level=level)
    assert type(caught.value) is expected
    assert token not in str(caught.value) and sandbox.tsa_password not in str(caught.value)


def test_bad_input_and_output(client, pdf, tmp_path):
    with pytest.raises(PdfError):
        client.sign(b"not a PDF at all", level="B-B")
    with pytest.raises(PdfError, match="nowhere.pdf"):
        client.sign(str(tmp_path / "nowhere.pdf"))
    with pytest.raises(OutputError):
        client.timestamp(pdf, str(tmp_path / "no" / "such" / "folder.pdf"))


def test_unreachable_service_names_the_url_not_the_token(sandbox, pdf):
    url = "http://127.0.0.1:%d" % _free_port()
    client = Client(url, sandbox.api_token, sandbox.tenant_id, timeout=2.0, retries=1)
    with pytest.raises(ServiceUnavailable, match="127.0.0.1") as caught:
        client.sign(pdf)
    assert sandbox.api_token not in str(caught.value)


def test_time_out_bounds_the_call(sandbox, pdf):
    sandbox.faults.delay(USER_INFO_PATH, 60)
    client = Client(sandbox.url, sandbox.api_token, sandbox.tenant_id, timeout=0.5, retries=2)
    started = time.monotonic()
    with pytest.raises(ServiceUnavailable, match="no answer within 0.5 s"):
        client.sign(pdf)
    # Three attempts of 0.5 s, the backoff between them, and a margin.
    assert time.monotonic() - started < 0.5 * 3 + 3.0


def test_retries_only_where_safe(sandbox, pdf):
    client = Client(sandbox.url, sandbox.api_token, sandbox.tenant_id, timeout=10.0, retries=2)
    sandbox.faults.respond(USER_INFO_PATH, 503, "busy")
    with pytest.raises(ServiceRefused, match=r"\(HTTP 503\): busy"):
        client.sign(pdf)
    assert [request.path for request in sandbox.requests].count(USER_INFO_PATH) == 3

    sandbox.faults.clear()
    sandbox.clear_requests()
    sandbox.faults.respond(SIGN_INFO_PATH, 503, "busy")
    with pytest.raises(ServiceRefused, match=r"\(HTTP 503\)"):
        client.sign(pdf)
    # The signing request is never sent twice.
    assert [request.path for request in sandbox.requests].count(SIGN_INFO_PATH) == 1
