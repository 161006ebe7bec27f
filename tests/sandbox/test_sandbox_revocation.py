import base64
from urllib.parse import quote

import pytest
import requests
from asn1crypto import crl, ocsp, x509


def chain(sandbox, kind):
    """(certificate, issuer) pairs covering each responder of the sandbox."""
    pki = sandbox.pki
    user_id = sandbox.users[0]["user_id"]
    return {
        "signer-rsa": (pki.signer_certificate(user_id, "rsa"), pki.signer_ca),
        "signer-ecdsa": (pki.signer_certificate(user_id, "ecdsa"), pki.signer_ca),
        "tsa": (pki.tsa, pki.tsa_ca),
        "signer-ca": (pki.signer_ca, pki.root),
        "tsa-ca": (pki.tsa_ca, pki.root),
    }[kind]


KINDS = ["signer-rsa", "signer-ecdsa", "tsa", "signer-ca", "tsa-ca"]


def ask_openssl(sandbox, openssl, pem_file, certificate, issuer):
    pem_file("cert.pem", certificate)
    pem_file("issuer.pem", issuer)
    done = openssl("ocsp", "-issuer", "issuer.pem", "-cert", "cert.pem",
                   "-url", certificate.ocsp_urls[0], "-CAfile", sandbox.ca_bundle_path)
    assert "Response verify OK" in done.stderr
    # openssl sends a nonce and warns when the answer does not carry it back.
    assert "nonce" not in done.stderr.lower()
    return done.stdout.splitlines()[0]


@pytest.mark.parametrize("kind", KINDS)
def test_openssl_ocsp_good_then_revoked(sandbox, openssl, pem_file, kind):
    certificate, issuer = chain(sandbox, kind)
    assert certificate.ocsp_urls[0].startswith(sandbox.url + "/ocsp/")
    assert ask_openssl(sandbox, openssl, pem_file, certificate, issuer) == "cert.pem: good"
    sandbox.revoke(certificate, reason="key_compromise")
    assert ask_openssl(sandbox, openssl, pem_file, certificate, issuer) == "cert.pem: revoked"


def test_serial_the_ca_never_issued_is_unknown(sandbox, openssl, pem_file):
    pem_file("issuer.pem", sandbox.pki.signer_ca)
    serial = sandbox.pki.tsa.serial_number  # issued, but by the timestamp CA
    done = openssl("ocsp", "-issuer", "issuer.pem", "-serial", serial,
                   "-url", sandbox.url + "/ocsp/signer-ca", "-CAfile", sandbox.ca_bundle_path)
    assert "Response verify OK" in done.stderr
    assert done.stdout.splitlines()[0] == "%d: unknown" % serial


@pytest.mark.parametrize("kind,cert_id_hash", [("signer-ecdsa", "sha1"), ("tsa", "sha256")])
def test_ocsp_by_get(sandbox, openssl, pem_file, tmp_path, kind, cert_id_hash):
    certificate, issuer = chain(sandbox, kind)
    pem_file("cert.pem", certificate)
    pem_file("issuer.pem", issuer)
    openssl("ocsp", "-" + cert_id_hash, "-issuer", "issuer.pem", "-cert", "cert.pem", "-no_nonce",
            "-reqout", "request.der")
    encoded = quote(base64.b64encode((tmp_path / "request.der").read_bytes()).decode(), safe="")
    reply = requests.get(certificate.ocsp_urls[0] + "/" + encoded, timeout=10)
    assert reply.headers["Content-Type"] == "application/ocsp-response"
    (tmp_path / "response.der").write_bytes(reply.content)
    done = openssl("ocsp", "-" + cert_id_hash, "-respin", "response.der", "-issuer", "issuer.pem",
                   "-cert", "cert.pem", "-CAfile", sandbox.ca_bundle_path)
    assert done.stdout.splitlines()[0] == "cert.pem: good"


@pytest.mark.parametrize("body", [b"", b"\x30\x03\x02\x01\x01", b"not DER at all"])
def test_malformed_ocsp_request(sandbox, body):
    reply = requests.post(sandbox.url + "/ocsp/signer-ca", data=body, timeout=10,
                          headers={"Content-Type": "application/ocsp-request"})
    assert ocsp.OCSPResponse.load(reply.content)["response_status"].native == "malformed_request"


@pytest.mark.parametrize("kind", KINDS)
def test_crl_is_signed_by_its_ca_and_lists_revocations(sandbox, openssl, tmp_path, kind):
    certificate, issuer = chain(sandbox, kind)
    url, = certificate.crl_distribution_points[0]["distribution_point"].native
    assert url.startswith(sandbox.url + "/crl/")
    sandbox.revoke(certificate)

    reply = requests.get(url, timeout=10)
    assert reply.headers["Content-Type"] == "application/pkix-crl"
    (tmp_path / "list.crl").write_bytes(reply.content)
    done = openssl("crl", "-inform", "DER", "-in", "list.crl", "-noout", "-text",
                   "-CAfile", sandbox.ca_bundle_path)
    assert "verify OK" in done.stderr
    serial_hex = "%X" % certificate.serial_number
    serial_hex = "0" * (len(serial_hex) % 2) + serial_hex  # openssl prints whole bytes
    assert "Serial Number: " + serial_hex in done.stdout

    parsed = crl.CertificateList.load(reply.content)
    assert parsed.issuer == issuer.subject
    assert parsed["tbs_cert_list"]["next_update"].native > \
        parsed["tbs_cert_list"]["this_update"].native
    assert [entry["user_certificate"].native for entry in parsed["tbs_cert_list"]["revoked_certificates"]] \
        == [certificate.serial_number]


def test_crl_lists_nothing_after_reset(sandbox, tmp_path):
    sandbox.revoke(sandbox.pki.tsa)
    sandbox.reset()
    reply = requests.get(sandbox.url + "/crl/tsa-ca.crl", timeout=10)
    assert not crl.CertificateList.load(reply.content)["tbs_cert_list"]["revoked_certificates"]


@pytest.mark.parametrize("kind", KINDS + ["responder"])
def test_aia_serves_the_issuer(sandbox, kind):
    if kind == "responder":
        certificate, issuer = sandbox.pki.signer_ca_ocsp, sandbox.pki.signer_ca
    else:
        certificate, issuer = chain(sandbox, kind)
    aia = [d["access_location"].native for d in certificate.authority_information_access_value
           if d["access_method"].native == "ca_issuers"]
    reply = requests.get(aia[0], timeout=10)
    assert reply.headers["Content-Type"] == "application/pkix-cert"
    assert x509.Certificate.load(reply.content).dump() == issuer.dump()


def test_revoke_accepts_only_sandbox_serials(sandbox):
    with pytest.raises(ValueError, match="not issued by this sandbox"):
        sandbox.revoke(12345)
    with pytest.raises(TypeError):
        sandbox.revoke("12345")
    with pytest.raises(ValueError, match="reason"):
        sandbox.revoke(sandbox.pki.tsa, reason="bored")
