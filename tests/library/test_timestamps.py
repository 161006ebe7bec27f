"""HTTPTimeStamper against the sandbox's timestamp servers."""

import asyncio
import hashlib
import re
import socket
import subprocess

import pytest
import requests
from asn1crypto import cms, tsp
from requests.auth import HTTPBasicAuth

from CorvaneSDK.CorvaneSign.corvane_signature.exceptions import TimestampError
from CorvaneSDK.CorvaneSign.corvane_signature.sign.timestamps import HTTPTimeStamper
from CorvaneSDK.CorvaneSign.corvane_signature.sign.token_check import check_timestamp_token


DIGEST = hashlib.sha256(b"signature value to be timestamped").digest()


def _authenticated(sandbox):
    return HTTPTimeStamper(sandbox.tsa_url, auth=HTTPBasicAuth(sandbox.tsa_username, sandbox.tsa_password))


def _closed_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


@pytest.mark.parametrize("server", ["open", "authenticated"])
def test_token_is_checked_and_verifies_with_openssl(sandbox, server, tmp_path):
    if server == "open":
        stamper = HTTPTimeStamper(sandbox.open_tsa_url)
    else:
        stamper = _authenticated(sandbox)
    token = asyncio.run(stamper.async_timestamp(DIGEST, "sha256"))
    assert isinstance(token, cms.ContentInfo)

    (tmp_path / "token.der").write_bytes(token.dump())
    result = subprocess.run(["openssl", "ts", "-verify", "-digest", DIGEST.hex(), "-in", "token.der",
                             "-token_in", "-CAfile", sandbox.ca_bundle_path],
                            cwd=tmp_path, capture_output=True, text=True)
    assert result.returncode == 0, result.stdout + result.stderr

    (request,) = [r for r in sandbox.requests if r.method == "POST"]
    assert request.headers["Content-Type"] == "application/timestamp-query"
    sent = tsp.TimeStampReq.load(request.body)
    assert sent["version"].native == "v1" and sent["cert_req"].native is True
    assert sent["message_imprint"]["hash_algorithm"]["algorithm"].native == "sha256"
    assert sent["message_imprint"]["hashed_message"].native == DIGEST
    tst_info = token["content"]["encap_content_info"]["content"].parsed
    assert tst_info["nonce"].native == sent["nonce"].native


def test_every_request_has_a_fresh_nonce(sandbox):
    stamper = HTTPTimeStamper(sandbox.open_tsa_url)
    stamper.timestamp(DIGEST)
    stamper.timestamp(DIGEST)
    nonces = {tsp.TimeStampReq.load(r.body)["nonce"].native for r in sandbox.requests}
    assert len(nonces) == 2


@pytest.mark.parametrize("fault, expected", [
    (lambda sandbox: sandbox.faults.tsa_reject(fail_info="time_not_available", text="clock broken"),
     r"rejected: rejection; failure time_not_available; \"clock broken\""),
    (lambda sandbox: sandbox.faults.tsa_wrong_nonce(), "nonce mismatch"),
    (lambda sandbox: sandbox.faults.tsa_wrong_imprint(), "imprint mismatch"),
    (lambda sandbox: sandbox.faults.tsa_http_error(status=500), "HTTP 500"),
    (lambda sandbox: sandbox.faults.respond("/tsa/rfc3161", 200, body="not DER"), "not an RFC 3161"),
    (lambda sandbox: sandbox.faults.drop("/tsa/rfc3161"), "unreachable"),
], ids=["rejection", "nonce", "imprint", "http-500", "garbage", "dropped"])
def test_untrustworthy_answers_are_errors_naming_the_server(sandbox, fault, expected):
    fault(sandbox)
    stamper = _authenticated(sandbox)
    with pytest.raises(TimestampError, match=expected) as raised:
        stamper.timestamp(DIGEST)
    assert sandbox.url + "/tsa/rfc3161" in str(raised.value)
    assert sandbox.tsa_password not in str(raised.value)


@pytest.mark.parametrize("credentials", ["none", "wrong password", "in the URL"])
def test_refused_credentials_are_reported_without_them(sandbox, credentials):
    url, auth = sandbox.tsa_url, None
    if credentials == "wrong password":
        auth = HTTPBasicAuth(sandbox.tsa_username, "not-the-password")
    elif credentials == "in the URL":
        url = url.replace("http://", "http://%s:wrong-secret@" % sandbox.tsa_username) + "?key=query-secret"
    with pytest.raises(TimestampError, match="HTTP 401, credentials refused") as raised:
        HTTPTimeStamper(url, auth=auth).timestamp(DIGEST)
    for secret in ("not-the-password", "wrong-secret", "query-secret", sandbox.tsa_username):
        assert secret not in str(raised.value)


def test_unreachable_and_slow_servers_fail_with_a_clear_error(sandbox):
    closed = "http://127.0.0.1:%d/tsa" % _closed_port()
    with pytest.raises(TimestampError, match="timestamp server %s is unreachable" % closed):
        HTTPTimeStamper(closed).timestamp(DIGEST)
    with pytest.raises(TimestampError, match="ftp://127.0.0.1/tsa: not a valid http"):
        HTTPTimeStamper("ftp://127.0.0.1/tsa").timestamp(DIGEST)
    sandbox.faults.delay("/TSS/RFC3161sha2TS", 5)
    with pytest.raises(TimestampError, match="did not answer within 0.3 seconds"):
        HTTPTimeStamper(sandbox.open_tsa_url, timeout=0.3).timestamp(DIGEST)


def test_a_tampered_token_does_not_pass_the_check(sandbox):
    token = HTTPTimeStamper(sandbox.open_tsa_url).timestamp(DIGEST)
    tst_info = token["content"]["encap_content_info"]["content"].parsed
    nonce = tst_info["nonce"].native
    der = bytearray(token.dump())
    der[-5] ^= 0x01  # inside the signature value, the token's last field
    tampered = cms.ContentInfo.load(bytes(der))
    with pytest.raises(TimestampError, match="bad signature"):
        check_timestamp_token(tampered, DIGEST, "sha256", nonce=nonce)
    check_timestamp_token(token, DIGEST, "sha256", nonce=nonce)



def test_a_damaged_answer_is_reported_as_damaged_whatever_else_is_wrong_with_it(sandbox):
    # A genuine answer to another request (its nonce is not ours) whose
    # TSTInfo time no longer decodes: the damage is what gets reported.
    request = HTTPTimeStamper(sandbox.open_tsa_url).request_for(DIGEST).dump()
    answer = requests.post(sandbox.open_tsa_url, data=request,
                           headers={"Content-Type": "application/timestamp-query"}).content
    gen_time = re.search(rb"\x18\x0f\d{14}Z", answer)
    assert gen_time is not None
    damaged = answer[:gen_time.start() + 2] + b"2026AB" + answer[gen_time.start() + 8:]
    sandbox.faults.respond("/tsa/rfc3161", 200, body=damaged)
    with pytest.raises(TimestampError, match="answer is not an RFC 3161 timestamp response"):
        _authenticated(sandbox).timestamp(DIGEST)
