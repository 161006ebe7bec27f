import copy
import datetime
import json
import os
import stat

import pytest

from CorvaneSDK.sandbox import DEFAULT_CONFIG, Sandbox, SandboxConfigError


def leaf_cases():
    """(id, certificate getter, openssl purpose)."""
    cases = [
        ("tsa", lambda sb: sb.pki.tsa, "timestampsign"),
        ("signer-ca-ocsp", lambda sb: sb.pki.signer_ca_ocsp, "ocsphelper"),
        ("tsa-ca-ocsp", lambda sb: sb.pki.tsa_ca_ocsp, "ocsphelper"),
    ]
    for index in range(3):
        for pki in ("rsa", "ecdsa"):
            cases.append(("user%d-%s" % (index, pki),
                          lambda sb, i=index, p=pki: sb.pki.signer_certificate(
                              sb.users[i]["user_id"], p),
                          "smimesign"))
    return cases


@pytest.mark.parametrize("getter,purpose", [case[1:] for case in leaf_cases()],
                         ids=[case[0] for case in leaf_cases()])
def test_openssl_verifies_every_leaf_for_its_purpose(sandbox, openssl, pem_file, getter, purpose):
    pem_file("leaf.pem", getter(sandbox))
    done = openssl("verify", "-CAfile", sandbox.ca_bundle_path, "-purpose", purpose, "leaf.pem")
    assert done.stdout.strip() == "leaf.pem: OK"


def test_root_file_alone_anchors_the_intermediates(sandbox, openssl, pem_file):
    pem_file("intermediates.pem", sandbox.pki.signer_ca, sandbox.pki.tsa_ca)
    done = openssl("verify", "-CAfile", sandbox.root_cert_path, "intermediates.pem")
    assert "OK" in done.stdout
    with open(sandbox.root_cert_path, "rb") as handle:
        assert handle.read().count(b"BEGIN CERTIFICATE") == 1
    with open(sandbox.ca_bundle_path, "rb") as handle:
        assert handle.read().count(b"BEGIN CERTIFICATE") == 3


@pytest.mark.parametrize("pki,algorithm,size", [("rsa", "rsa", 2048), ("ecdsa", "ec", 256)])
def test_signer_certificates(sandbox, pki, algorithm, size):
    now = datetime.datetime.now(datetime.timezone.utc)
    for user in sandbox.users + sandbox.other_users:
        cert = sandbox.pki.signer_certificate(user["user_id"], pki)
        assert (cert.public_key.algorithm, cert.public_key.bit_size) == (algorithm, size)
        assert cert.key_usage_value.native == {"digital_signature", "non_repudiation"}
        assert cert.subject.native["common_name"] == user["user_full_name"]
        assert cert.subject.native["email_address"] == user["user_email"]
        assert cert.subject.native.get("organizational_unit_name") == user["division"]
        validity = cert["tbs_certificate"]["validity"]
        not_before = validity["not_before"].native
        assert now - datetime.timedelta(days=1) < not_before < now
        assert validity["not_after"].native > now + datetime.timedelta(days=300)


def test_timestamp_and_responder_usages(sandbox):
    tsa_eku = [ext for ext in sandbox.pki.tsa["tbs_certificate"]["extensions"]
               if ext["extn_id"].native == "extended_key_usage"][0]
    assert tsa_eku["critical"].native is True
    assert tsa_eku["extn_value"].native == ["time_stamping"]
    for responder in (sandbox.pki.signer_ca_ocsp, sandbox.pki.tsa_ca_ocsp):
        assert responder.extended_key_usage_value.native == ["ocsp_signing"]
        assert responder.ocsp_no_check_value is not None


def test_every_certificate_but_the_root_points_back_at_the_sandbox(sandbox):
    pki = sandbox.pki
    certificates = [pki.signer_ca, pki.tsa_ca, pki.tsa, pki.signer_ca_ocsp, pki.tsa_ca_ocsp]
    certificates += [pki.signer_certificate(user["user_id"], kind)
                     for user in sandbox.users for kind in ("rsa", "ecdsa")]
    for cert in certificates:
        urls = [cert.ocsp_urls, cert.crl_distribution_points,
                [d for d in cert.authority_information_access_value
                 if d["access_method"].native == "ca_issuers"]]
        assert all(len(found) == 1 for found in urls), cert.subject.human_friendly
        assert cert.ocsp_urls[0].startswith(sandbox.url + "/")
    assert pki.root.self_signed == "maybe"
    assert pki.root.authority_information_access_value is None
    assert pki.root.crl_distribution_points == []


def _stored_view(sb):
    user_id = sb.users[0]["user_id"]
    return {"root": sb.pki.root.dump(),
            "signer": sb.pki.signer_certificate(user_id, "rsa"),
            "token": sb.api_token, "password": sb.tsa_password, "port": sb.port}


def test_state_dir_keeps_pki_and_secrets_and_reissues_on_new_port(tmp_path):
    state = tmp_path / "state"
    with Sandbox(state_dir=state, log=False) as first:
        before = _stored_view(first)
    key_files = list((state / "keys").iterdir())
    assert key_files and all(stat.S_IMODE(os.stat(p).st_mode) == 0o600 for p in key_files)
    assert stat.S_IMODE(os.stat(state / "secrets.json").st_mode) == 0o600

    with Sandbox(state_dir=state, port=before["port"], log=False) as same_port:
        again = _stored_view(same_port)
    assert again["signer"].dump() == before["signer"].dump()
    assert (again["root"], again["token"], again["password"]) == \
        (before["root"], before["token"], before["password"])

    with Sandbox(state_dir=state, log=False) as moved:
        after = _stored_view(moved)
        assert after["signer"].ocsp_urls[0].startswith(moved.url + "/")
    assert (after["root"], after["token"]) == (before["root"], before["token"])
    assert after["signer"].public_key.dump() == before["signer"].public_key.dump()
    assert (after["signer"].dump() != before["signer"].dump()) == (after["port"] != before["port"])

    renamed = copy.deepcopy(DEFAULT_CONFIG)
    renamed["tenants"][0]["users"][0]["user_full_name"] = "Augusta Ada King"
    with Sandbox(state_dir=state, config=renamed, port=after["port"], log=False) as sb:
        assert sb.pki.signer_certificate(sb.users[0]["user_id"]).subject.native["common_name"] \
            == "Augusta Ada King"
        assert (sb.pki.root.dump(), sb.api_token) == (before["root"], before["token"])


def test_configuration_file(tmp_path):
    config = {"tenants": [{
        "tenant_id": "acme", "api_token": "acme-token", "timestamp_username": "ts-acme",
        "timestamp_password": "ts-secret", "default_user": "b",
        "users": [
            {"user_id": "a", "user_full_name": "A", "user_company_name": "Acme",
             "division": None, "user_email": "a@acme.test"},
            {"user_id": "b", "user_full_name": "B", "user_company_name": "Acme",
             "division": "Ops", "user_email": "b@acme.test"},
        ]}]}
    path = tmp_path / "sandbox.json"
    path.write_text(json.dumps(config))
    with Sandbox(config=str(path), log=False) as sb:
        assert (sb.tenant_id, sb.api_token, sb.tsa_username, sb.tsa_password) == \
            ("acme", "acme-token", "ts-acme", "ts-secret")
        assert [user["user_id"] for user in sb.users] == ["b", "a"]
        assert sb.other_tenant_id is None and sb.other_api_token is None


def _user(user_id, **changes):
    user = {"user_id": user_id, "user_full_name": "N", "user_company_name": "C",
            "division": None, "user_email": user_id + "@x.test"}
    user.update(changes)
    return user


def _tenant(tenant_id, users, **changes):
    tenant = {"tenant_id": tenant_id, "timestamp_username": "ts", "users": users}
    tenant.update(changes)
    return tenant


@pytest.mark.parametrize("config,message", [
    ({}, "tenants"),
    ({"tenants": [_tenant("t", [])]}, "users"),
    ({"tenants": [_tenant("t", [_user("u")]), _tenant("t", [_user("v")])]}, "twice"),
    ({"tenants": [_tenant("t", [_user("u")]), _tenant("s", [_user("u")])]}, "user id"),
    ({"tenants": [_tenant("t", [_user("u"), _user("v", user_email="u@x.test")])]}, "e-mail"),
    ({"tenants": [_tenant("t", [_user("u")], default_user="v")]}, "default_user"),
    ({"tenants": [_tenant("t", [_user("u", division=7)])]}, "division"),
    ({"tenants": [_tenant("t", [_user("u")], api_token="same"),
                  _tenant("s", [_user("v")], api_token="same")]}, "token"),
], ids=["no-tenants", "no-users", "tenant-twice", "user-twice", "email-twice",
        "default-user", "division-type", "shared-token"])
def test_configuration_errors(config, message):
    with pytest.raises(SandboxConfigError, match=message):
        Sandbox(config=config, log=False).start()


def test_configuration_file_errors(tmp_path):
    with pytest.raises(SandboxConfigError, match="cannot read"):
        Sandbox(config=str(tmp_path / "missing.json"))
    broken = tmp_path / "broken.json"
    broken.write_text("{tenants:")
    with pytest.raises(SandboxConfigError, match="not JSON"):
        Sandbox(config=str(broken))
