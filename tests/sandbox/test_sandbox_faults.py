import base64
import binascii
import hashlib
import json

import pytest
import requests
from asn1crypto import ocsp, tsp
from cryptography import x509 as crypto_x509
from cryptography.exceptions import InvalidSignature

from CorvaneSDK.CorvaneSign.corvane_signature.sign.attributes import pades_signed_attributes
from CorvaneSDK.sandbox import SIGN_INFO_PATH, TIMESTAMP_INFO_PATH, USER_INFO_PATH
from CorvaneSDK.service import decrypt_data

DIGEST = hashlib.sha256(b"document").digest()


def call(sandbox, path, timeout=10):
    body = {"tenant_id": sandbox.tenant_id}
    if path == SIGN_INFO_PATH:
        body.update(pki="rsa", user_id=sandbox.users[0]["user_id"],
                    digest_b64=base64.b64encode(DIGEST).decode())
    return requests.post(sandbox.url + path, json=body, timeout=timeout,
                         headers={"X-Corvane-Authorization": sandbox.api_token})


def sign_result(sandbox):
    response = call(sandbox, SIGN_INFO_PATH)
    assert response.status_code == 200
    return response.json()["result"]


# -- any path ---------------------------------------------------------------

@pytest.mark.parametrize("path", [USER_INFO_PATH, "/ocsp/signer-ca", "/TSS/RFC3161sha2TS"])
def test_respond_answers_fixed_status_and_body(sandbox, path):
    sandbox.faults.respond(path, 503, "down for maintenance")
    response = requests.post(sandbox.url + path, data=b"x", timeout=10)
    assert (response.status_code, response.text) == (503, "down for maintenance")


def test_respond_covers_paths_below(sandbox):
    sandbox.faults.respond("/aia", 418, b"teapot", content_type="application/octet-stream")
    response = requests.get(sandbox.url + "/aia/root.cer", timeout=10)
    assert (response.status_code, response.content) == (418, b"teapot")
    assert requests.get(sandbox.url + "/crl/root.crl", timeout=10).status_code == 200


def test_delay_outlasts_a_client_timeout(sandbox):
    sandbox.faults.delay(USER_INFO_PATH, 30)
    with pytest.raises(requests.exceptions.ReadTimeout):
        call(sandbox, USER_INFO_PATH, timeout=0.5)
    assert call(sandbox, TIMESTAMP_INFO_PATH).status_code == 200


def test_drop_closes_without_response(sandbox):
    sandbox.faults.drop(SIGN_INFO_PATH)
    with pytest.raises(requests.exceptions.ConnectionError):
        call(sandbox, SIGN_INFO_PATH)
    assert call(sandbox, USER_INFO_PATH).status_code == 200


# -- signing service --------------------------------------------------------

@pytest.mark.parametrize("path", [USER_INFO_PATH, SIGN_INFO_PATH, TIMESTAMP_INFO_PATH])
@pytest.mark.parametrize("switch", ["reply_non_json", "reply_without_result", "reply_null_result"])
def test_broken_envelopes(sandbox, switch, path):
    getattr(sandbox.faults, switch)()
    response = call(sandbox, path)
    assert response.status_code == 200
    if switch == "reply_non_json":
        with pytest.raises(ValueError):
            response.json()
    elif switch == "reply_without_result":
        assert "result" not in response.json()
    else:
        assert response.json() == {"result": None}


def test_envelope_fault_on_one_path_only(sandbox):
    sandbox.faults.reply_null_result(USER_INFO_PATH)
    assert call(sandbox, USER_INFO_PATH).json() == {"result": None}
    assert call(sandbox, SIGN_INFO_PATH).json()["result"]["signature"]


def test_signature_not_base64(sandbox):
    sandbox.faults.signature_not_base64()
    with pytest.raises(binascii.Error):
        base64.b64decode(sign_result(sandbox)["signature"], validate=True)


def test_signature_invalid(sandbox, verify_signature):
    sandbox.faults.signature_invalid()
    result = sign_result(sandbox)
    certificate = sandbox.pki.signer_certificate(sandbox.users[0]["user_id"])
    signature = base64.b64decode(result["signature"], validate=True)
    assert len(signature) == 256  # a real RSA-2048 signature, just not over these attributes
    with pytest.raises(InvalidSignature):
        verify_signature(certificate, signature, pades_signed_attributes(DIGEST, certificate).dump())


@pytest.mark.parametrize("switch,error", [("certificate_not_base64", binascii.Error),
                                          ("certificate_not_der", ValueError)])
def test_certificate_unusable(sandbox, switch, error):
    getattr(sandbox.faults, switch)()
    with pytest.raises(error):
        crypto_x509.load_der_x509_certificate(
            base64.b64decode(sign_result(sandbox)["certificate"], validate=True))


@pytest.mark.parametrize("path", [SIGN_INFO_PATH, TIMESTAMP_INFO_PATH])
def test_credentials_missing_or_undecipherable(sandbox, path):
    sandbox.faults.credentials_missing(path)
    assert "_t" not in call(sandbox, path).json()["result"]
    sandbox.faults.credentials_undecipherable(path)
    token = call(sandbox, path).json()["result"]["_t"]
    with pytest.raises(ValueError, match="authentication"):
        decrypt_data(token, sandbox.api_token)


def test_clear_turns_everything_off(sandbox, verify_signature):
    faults = sandbox.faults
    faults.reply_non_json(USER_INFO_PATH)
    faults.signature_invalid()
    faults.credentials_missing()
    faults.tsa_http_error()
    faults.aia_loop()
    faults.drop("/crl")
    assert len(faults.active()) >= 6
    faults.clear()
    assert faults.active() == []
    assert call(sandbox, USER_INFO_PATH).json()["result"] == sandbox.users[0]
    result = sign_result(sandbox)
    certificate = sandbox.pki.signer_certificate(sandbox.users[0]["user_id"])
    verify_signature(certificate, base64.b64decode(result["signature"]),
                     pades_signed_attributes(DIGEST, certificate).dump())
    assert json.loads(decrypt_data(result["_t"], sandbox.api_token))["ts_url"] == sandbox.tsa_url


@pytest.mark.parametrize("action", [
    lambda f: f.respond("/x", 99),
    lambda f: f.respond("no-slash", 500),
    lambda f: f.delay("/x", -1),
    lambda f: f.reply_non_json("/not/a/service/path"),
    lambda f: f.credentials_missing("/api/openapi/sdk-user-info.json"),
    lambda f: f.tsa_reject(fail_info="grumpy"),
    lambda f: f.ocsp_down(how="explode"),
], ids=["status", "path", "delay", "service-path", "credentials-path", "fail-info", "how"])
def test_bad_switch_arguments_are_refused(sandbox, action):
    with pytest.raises(ValueError):
        action(sandbox.faults)
    assert sandbox.faults.active() == []


# -- timestamp servers ------------------------------------------------------

@pytest.fixture
def ts_query(openssl, tmp_path):
    (tmp_path / "data.txt").write_bytes(b"timestamp me")
    openssl("ts", "-query", "-data", "data.txt", "-sha256", "-cert", "-out", "query.tsq")
    return (tmp_path / "query.tsq").read_bytes()


def timestamp(sandbox, query, server):
    if server == "basic":
        return requests.post(sandbox.tsa_url, data=query, timeout=10,
                             auth=(sandbox.tsa_username, sandbox.tsa_password))
    return requests.post(sandbox.open_tsa_url, data=query, timeout=10)


@pytest.mark.parametrize("server", ["open", "basic"])
def test_tsa_reject(sandbox, openssl, tmp_path, ts_query, server):
    sandbox.faults.tsa_reject("time_not_available", "clock is broken")
    (tmp_path / "reply.tsr").write_bytes(timestamp(sandbox, ts_query, server).content)
    text = openssl("ts", "-reply", "-in", "reply.tsr", "-text").stdout
    assert "Status: Rejected" in text
    assert "clock is broken" in text
    assert "TSA's time source is not available" in text


@pytest.mark.parametrize("switch,member,openssl_error", [
    ("tsa_wrong_nonce", "nonce", "nonce mismatch"),
    ("tsa_wrong_imprint", "message_imprint", "message imprint mismatch"),
])
def test_tsa_wrong_token_content(sandbox, openssl, tmp_path, ts_query, switch, member,
                                 openssl_error):
    getattr(sandbox.faults, switch)()
    reply = timestamp(sandbox, ts_query, "open")
    (tmp_path / "reply.tsr").write_bytes(reply.content)
    token = tsp.TimeStampResp.load(reply.content)["time_stamp_token"]
    info = token["content"]["encap_content_info"]["content"].parsed
    assert info[member].dump() != tsp.TimeStampReq.load(ts_query)[member].dump()
    done = openssl("ts", "-verify", "-queryfile", "query.tsq", "-in", "reply.tsr",
                   "-CAfile", sandbox.ca_bundle_path, check=False)
    assert done.returncode != 0
    assert openssl_error in done.stderr


@pytest.mark.parametrize("server", ["open", "basic"])
def test_tsa_http_error(sandbox, ts_query, server):
    sandbox.faults.tsa_http_error(502)
    assert timestamp(sandbox, ts_query, server).status_code == 502


# -- OCSP, CRLs, AIA --------------------------------------------------------

@pytest.fixture
def ocsp_query(sandbox, openssl, pem_file, tmp_path):
    pem_file("cert.pem", sandbox.pki.signer_certificate(sandbox.users[0]["user_id"]))
    pem_file("issuer.pem", sandbox.pki.signer_ca)
    openssl("ocsp", "-issuer", "issuer.pem", "-cert", "cert.pem", "-reqout", "request.der")
    return (tmp_path / "request.der").read_bytes()


@pytest.mark.parametrize("switch,path", [("ocsp_down", "/ocsp/signer-ca"),
                                         ("crl_down", "/crl/signer-ca.crl"),
                                         ("aia_down", "/aia/signer-ca.cer")])
@pytest.mark.parametrize("how", ["error", "drop"])
def test_sources_down(sandbox, switch, path, how):
    getattr(sandbox.faults, switch)(how=how, status=503)
    method = "POST" if path.startswith("/ocsp") else "GET"
    if how == "drop":
        with pytest.raises(requests.exceptions.ConnectionError):
            requests.request(method, sandbox.url + path, timeout=10)
    else:
        assert requests.request(method, sandbox.url + path, timeout=10).status_code == 503


def test_ocsp_wrong_key(sandbox, openssl, ocsp_query, tmp_path):
    sandbox.faults.ocsp_wrong_key()
    done = openssl("ocsp", "-reqin", "request.der", "-url", sandbox.url + "/ocsp/signer-ca",
                   "-CAfile", sandbox.ca_bundle_path, check=False)
    assert "Response Verify Failure" in done.stderr
    reply = requests.post(sandbox.url + "/ocsp/signer-ca", data=ocsp_query, timeout=10)
    basic = ocsp.OCSPResponse.load(reply.content).basic_ocsp_response
    responder = basic["certs"][0]
    assert responder.issuer != sandbox.pki.signer_ca.subject
    assert responder.public_key.dump() not in (sandbox.pki.signer_ca.public_key.dump(),
                                                sandbox.pki.signer_ca_ocsp.public_key.dump())


def test_aia_loop_never_reaches_a_root(sandbox):
    sandbox.faults.aia_loop()
    current = crypto_x509.load_der_x509_certificate(
        sandbox.pki.signer_certificate(sandbox.users[0]["user_id"]).dump())
    seen = []
    for _ in range(6):
        access = current.extensions.get_extension_for_class(
            crypto_x509.AuthorityInformationAccess).value
        url = [d.access_location.value for d in access
               if d.access_method == crypto_x509.oid.AuthorityInformationAccessOID.CA_ISSUERS][0]
        issuer = crypto_x509.load_der_x509_certificate(requests.get(url, timeout=10).content)
        current.verify_directly_issued_by(issuer)
        assert issuer.issuer != issuer.subject
        seen.append(url)
        current = issuer
    assert len(set(seen)) == 2
