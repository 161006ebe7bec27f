import hashlib

import pytest
import requests
from asn1crypto import cms, tsp

from CorvaneSDK.sandbox import TSA_POLICY_OID

DATA = b"bytes to be timestamped\n"


def ask(sandbox, url_kind, query, auth="valid"):
    url = sandbox.tsa_url if url_kind == "basic" else sandbox.open_tsa_url
    credentials = {"valid": (sandbox.tsa_username, sandbox.tsa_password),
                   "wrong": (sandbox.tsa_username, "wrong-password"),
                   "none": None}[auth]
    return requests.post(url, data=query, auth=credentials, timeout=10,
                         headers={"Content-Type": "application/timestamp-query"})


@pytest.fixture
def data_file(tmp_path):
    path = tmp_path / "data.txt"
    path.write_bytes(DATA)
    return path


def make_query(openssl, tmp_path, *options):
    openssl("ts", "-query", "-data", "data.txt", "-sha256", *options, "-out", "query.tsq")
    return (tmp_path / "query.tsq").read_bytes()


def token_info(reply_der):
    token = tsp.TimeStampResp.load(reply_der)["time_stamp_token"]
    signed_data = token["content"]
    return signed_data, signed_data["encap_content_info"]["content"].parsed


@pytest.mark.parametrize("server", ["open", "basic"])
def test_openssl_verifies_tokens(sandbox, openssl, tmp_path, data_file, server):
    query = make_query(openssl, tmp_path, "-cert")
    reply = ask(sandbox, server, query)
    assert reply.status_code == 200
    assert reply.headers["Content-Type"] == "application/timestamp-reply"
    (tmp_path / "reply.tsr").write_bytes(reply.content)
    done = openssl("ts", "-verify", "-data", "data.txt", "-in", "reply.tsr",
                   "-CAfile", sandbox.ca_bundle_path)
    assert "Verification: OK" in done.stdout

    signed_data, info = token_info(reply.content)
    request = tsp.TimeStampReq.load(query)
    assert info["nonce"].native == request["nonce"].native
    assert info["policy"].native == TSA_POLICY_OID
    assert info["message_imprint"]["hashed_message"].native == hashlib.sha256(DATA).digest()
    assert [cert.chosen.dump() for cert in signed_data["certificates"]] == [sandbox.pki.tsa.dump()]
    signed_attrs = signed_data["signer_infos"][0]["signed_attrs"]
    ess = [attr for attr in signed_attrs if attr["type"].native == "signing_certificate_v2"]
    assert ess[0]["values"][0]["certs"][0]["cert_hash"].native == \
        hashlib.sha256(sandbox.pki.tsa.dump()).digest()


def test_without_cert_req_the_token_has_no_certificate(sandbox, openssl, tmp_path, data_file,
                                                      pem_file):
    query = make_query(openssl, tmp_path, "-no_nonce")
    reply = ask(sandbox, "open", query)
    signed_data, info = token_info(reply.content)
    assert signed_data["certificates"].native is None
    assert info["nonce"].native is None
    (tmp_path / "reply.tsr").write_bytes(reply.content)
    pem_file("tsa.pem", sandbox.pki.tsa)
    done = openssl("ts", "-verify", "-data", "data.txt", "-in", "reply.tsr",
                   "-CAfile", sandbox.ca_bundle_path, "-untrusted", "tsa.pem")
    assert "Verification: OK" in done.stdout


def test_serial_numbers_are_unique(sandbox, openssl, tmp_path, data_file):
    query = make_query(openssl, tmp_path, "-cert")
    serials = {token_info(ask(sandbox, server, query).content)[1]["serial_number"].native
               for server in ("open", "basic", "open", "basic")}
    assert len(serials) == 4


@pytest.mark.parametrize("auth", ["none", "wrong"])
def test_basic_auth_server_wants_credentials(sandbox, openssl, tmp_path, data_file, auth):
    reply = ask(sandbox, "basic", make_query(openssl, tmp_path, "-cert"), auth=auth)
    assert reply.status_code == 401
    assert reply.headers["WWW-Authenticate"].startswith("Basic ")
    assert sandbox.tsa_password not in reply.text


def _sha256_imprint_of_length(size):
    return tsp.TimeStampReq({
        "version": "v1",
        "message_imprint": {"hash_algorithm": {"algorithm": "sha256"},
                            "hashed_message": b"\x01" * size},
        "cert_req": True,
    }).dump()


@pytest.mark.parametrize("make,failure", [
    (lambda openssl, tmp: make_query(openssl, tmp, "-sha1"), "unrecognized or unsupported algorithm"),
    (lambda openssl, tmp: make_query(openssl, tmp, "-tspolicy", "1.2.3.4"), "policy is not supported"),
    (lambda openssl, tmp: b"not a timestamp request", "wrong format"),
    (lambda openssl, tmp: _sha256_imprint_of_length(20), "wrong format"),
], ids=["sha1", "policy", "garbage", "short-imprint"])
def test_unsupported_requests_are_rejected(sandbox, openssl, tmp_path, data_file, make, failure):
    reply = ask(sandbox, "open", make(openssl, tmp_path))
    assert reply.status_code == 200
    (tmp_path / "reply.tsr").write_bytes(reply.content)
    text = openssl("ts", "-reply", "-in", "reply.tsr", "-text").stdout
    assert "Status: Rejected" in text
    assert failure in text
    assert "TST info:\nNot included." in text


def test_wrong_method(sandbox):
    assert requests.get(sandbox.open_tsa_url, timeout=10).status_code == 405
