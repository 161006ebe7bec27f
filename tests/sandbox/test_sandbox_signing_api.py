import base64
import hashlib
import json

import pytest
import requests
from asn1crypto import x509

from CorvaneSDK.CorvaneSign.corvane_signature.sign.attributes import pades_signed_attributes
from CorvaneSDK.sandbox import SIGN_INFO_PATH, TIMESTAMP_INFO_PATH, USER_INFO_PATH
from CorvaneSDK.service import decrypt_data

DIGEST = hashlib.sha256(b"prepared document byte ranges").digest()
DIGEST_B64 = base64.b64encode(DIGEST).decode("ascii")


def post(sandbox, path, body, token=None, raw=None):
    headers = {"X-Corvane-Authorization": token if token is not None else sandbox.api_token}
    if raw is not None:
        return requests.post(sandbox.url + path, data=raw, headers=headers, timeout=10)
    return requests.post(sandbox.url + path, json=body, headers=headers, timeout=10)


def sign_body(sandbox, **changes):
    body = {"tenant_id": sandbox.tenant_id, "pki": "rsa",
            "user_id": sandbox.users[0]["user_id"], "digest_b64": DIGEST_B64}
    body.update(changes)
    return body


def credentials(result, token):
    return json.loads(decrypt_data(result["_t"], token).decode("utf-8"))


def test_users_include_one_without_division(sandbox):
    assert any(user["division"] is None for user in sandbox.users)
    assert all(set(user) == {"user_id", "user_full_name", "user_company_name", "division",
                             "user_email"} for user in sandbox.users)


@pytest.mark.parametrize("lookup", ["user_id", "email", "email_other_case", "default"])
def test_user_info_lookup(sandbox, lookup):
    wanted = sandbox.users[1] if lookup != "default" else sandbox.users[0]
    body = {"tenant_id": sandbox.tenant_id}
    if lookup == "user_id":
        body["user_id"] = wanted["user_id"]
    elif lookup == "email":
        body["email"] = wanted["user_email"]
    elif lookup == "email_other_case":
        body["email"] = wanted["user_email"].upper()
    response = post(sandbox, USER_INFO_PATH, body)
    assert response.status_code == 200
    assert response.json() == {"result": wanted}


def test_user_info_prefers_user_id_over_email(sandbox):
    body = {"tenant_id": sandbox.tenant_id, "user_id": sandbox.users[2]["user_id"],
            "email": sandbox.users[1]["user_email"]}
    assert post(sandbox, USER_INFO_PATH, body).json()["result"] == sandbox.users[2]


@pytest.mark.parametrize("pki", ["rsa", "ecdsa"])
def test_sign_info_signs_canonical_attributes(sandbox, verify_signature, pki):
    user_id = sandbox.users[2]["user_id"]
    response = post(sandbox, SIGN_INFO_PATH, sign_body(sandbox, pki=pki, user_id=user_id))
    assert response.status_code == 200
    result = response.json()["result"]

    certificate = x509.Certificate.load(base64.b64decode(result["certificate"], validate=True))
    assert certificate.dump() == sandbox.pki.signer_certificate(user_id, pki).dump()
    expected_algorithm = {"rsa": "rsa", "ecdsa": "ec"}[pki]
    assert certificate.public_key.algorithm == expected_algorithm
    signature = base64.b64decode(result["signature"], validate=True)
    verify_signature(certificate, signature, pades_signed_attributes(DIGEST, certificate).dump())

    assert credentials(result, sandbox.api_token) == {
        "ts_url": sandbox.tsa_url, "ts_username": sandbox.tsa_username,
        "ts_password": sandbox.tsa_password}


@pytest.mark.parametrize("pki", ["rsa", "ecdsa"])
def test_sign_digest_matches_the_service(sandbox, verify_signature, pki):
    signature, certificate = sandbox.sign_digest(DIGEST, pki=pki)
    assert certificate.dump() == sandbox.pki.signer_certificate(sandbox.users[0]["user_id"], pki).dump()
    verify_signature(certificate, signature, pades_signed_attributes(DIGEST, certificate).dump())
    with pytest.raises(ValueError, match="no user"):
        sandbox.sign_digest(DIGEST, user_id="nobody")
    with pytest.raises(ValueError, match="pki"):
        sandbox.sign_digest(DIGEST, pki="dsa")
    with pytest.raises(ValueError, match="32 bytes"):
        sandbox.sign_digest(DIGEST[:31])


def test_credentials_open_the_basic_auth_timestamp_server(sandbox):
    result = post(sandbox, TIMESTAMP_INFO_PATH, {"tenant_id": sandbox.tenant_id}).json()["result"]
    info = credentials(result, sandbox.api_token)
    assert info["ts_url"] == sandbox.tsa_url
    # The credentials pass the Basic check: a garbage body then gets a TSA rejection, not 401.
    answer = requests.post(info["ts_url"], data=b"garbage", timeout=10,
                           auth=(info["ts_username"], info["ts_password"]))
    assert answer.status_code == 200
    assert answer.headers["Content-Type"] == "application/timestamp-reply"


def test_each_tenant_gets_its_own_credentials(sandbox):
    mine = post(sandbox, TIMESTAMP_INFO_PATH, {"tenant_id": sandbox.tenant_id}).json()["result"]
    theirs = post(sandbox, TIMESTAMP_INFO_PATH, {"tenant_id": sandbox.other_tenant_id},
                  token=sandbox.other_api_token).json()["result"]
    assert credentials(theirs, sandbox.other_api_token)["ts_username"] != sandbox.tsa_username
    with pytest.raises(ValueError):
        decrypt_data(mine["_t"], sandbox.other_api_token)


def _refusals():
    """(label, path, body maker, token maker, raw body, status)."""
    own = lambda sb: sb.api_token  # noqa: E731
    cases = []
    for path in (USER_INFO_PATH, SIGN_INFO_PATH, TIMESTAMP_INFO_PATH):
        short = path.rsplit("/", 1)[1]
        body = (lambda sb: sign_body(sb)) if path == SIGN_INFO_PATH else \
            (lambda sb: {"tenant_id": sb.tenant_id})
        cases += [
            (short + " no token", path, body, lambda sb: "", None, 401),
            (short + " unknown token", path, body, lambda sb: "not-a-token", None, 401),
            (short + " other tenant", path, body, lambda sb: sb.other_api_token, None, 403),
            (short + " unknown tenant", path, lambda sb: dict(body(sb), tenant_id="nope"),
             own, None, 403),
            (short + " not json", path, None, own, b"{tenant_id:", 400),
            (short + " json array", path, None, own, b"[1, 2]", 400),
            (short + " no tenant", path, lambda sb: {}, own, None, 400),
        ]
    cases += [
        ("user unknown id", USER_INFO_PATH,
         lambda sb: {"tenant_id": sb.tenant_id, "user_id": "u-0000"}, own, None, 404),
        ("user unknown email", USER_INFO_PATH,
         lambda sb: {"tenant_id": sb.tenant_id, "email": "nobody@example.test"}, own, None, 404),
        ("user of other tenant", USER_INFO_PATH,
         lambda sb: {"tenant_id": sb.tenant_id, "user_id": sb.other_users[0]["user_id"]},
         own, None, 404),
        ("user id not text", USER_INFO_PATH,
         lambda sb: {"tenant_id": sb.tenant_id, "user_id": 1001}, own, None, 400),
        ("sign unknown user", SIGN_INFO_PATH, lambda sb: sign_body(sb, user_id="u-0000"),
         own, None, 404),
        ("sign pki unknown", SIGN_INFO_PATH, lambda sb: sign_body(sb, pki="dsa"), own, None, 400),
        ("sign pki missing", SIGN_INFO_PATH, lambda sb: sign_body(sb, pki=None), own, None, 400),
        ("digest not base64", SIGN_INFO_PATH, lambda sb: sign_body(sb, digest_b64="@@@@"),
         own, None, 400),
        ("digest 31 bytes", SIGN_INFO_PATH,
         lambda sb: sign_body(sb, digest_b64=base64.b64encode(DIGEST[:31]).decode()), own, None, 400),
        ("digest not text", SIGN_INFO_PATH, lambda sb: sign_body(sb, digest_b64=12), own, None, 400),
    ]
    return cases


@pytest.mark.parametrize("label,path,body,token,raw,status", _refusals(),
                         ids=[case[0] for case in _refusals()])
def test_refusals_have_status_and_text_body(sandbox, label, path, body, token, raw, status):
    response = post(sandbox, path, body(sandbox) if body else None, token=token(sandbox), raw=raw)
    assert response.status_code == status
    assert response.headers["Content-Type"].startswith("text/plain")
    assert response.text
    with pytest.raises(ValueError):
        json.loads(response.text)
    for secret in (sandbox.api_token, sandbox.other_api_token, sandbox.tsa_password):
        assert secret not in response.text


def test_service_paths_want_post(sandbox):
    response = requests.get(sandbox.url + USER_INFO_PATH, timeout=10,
                            headers={"X-Corvane-Authorization": sandbox.api_token})
    assert response.status_code == 405


def test_requests_are_recorded_with_headers_unchanged(sandbox):
    sandbox.clear_requests()
    post(sandbox, USER_INFO_PATH, {"tenant_id": sandbox.tenant_id})
    (method, path, headers, body), = sandbox.requests
    assert (method, path) == ("POST", USER_INFO_PATH)
    assert headers["X-Corvane-Authorization"] == sandbox.api_token
    assert json.loads(body) == {"tenant_id": sandbox.tenant_id}
