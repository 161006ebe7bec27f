"""ValidationContext fetching chains and revocation data from the sandbox's PKI."""

import asyncio
import collections
import hashlib
import subprocess

import pytest
from asn1crypto import cms, pem

from CorvaneSDK.CorvaneSign.corvane_certvalidator import ValidationContext
from CorvaneSDK.CorvaneSign.corvane_signature.exceptions import RevokedCertificateError, ValidationError
from CorvaneSDK.CorvaneSign.corvane_signature.sign.signers import ExternalSigner
from CorvaneSDK.CorvaneSign.corvane_signature.sign.timestamps import HTTPTimeStamper


DIGEST = hashlib.sha256(b"document byte ranges").digest()


def _signer_cert(sandbox, pki="rsa"):
    return sandbox.sign_digest(DIGEST, pki=pki)[1]


def _ders(items):
    return [item.dump() for item in items]


def _paths(sandbox, prefix=""):
    return [r.path for r in sandbox.requests if r.path.startswith(prefix)]


@pytest.mark.parametrize("pki", ["rsa", "ecdsa"])
def test_chain_completed_through_aia_with_ocsp_that_openssl_accepts(sandbox, pki, tmp_path):
    cert = _signer_cert(sandbox, pki)
    certs, ocsps, crls = asyncio.run(ValidationContext(allow_fetching=True).async_collect(cert))

    chain = [cert, sandbox.pki.signer_ca, sandbox.pki.root]
    assert _ders(certs[:3]) == _ders(chain)
    assert _ders(certs[3:]) == _ders([sandbox.pki.signer_ca_ocsp])  # the signer CA's delegated responder
    assert len(ocsps) == 2 and crls == []
    assert sorted(_paths(sandbox, "/aia/")) == ["/aia/root.cer", "/aia/signer-ca.cer"]

    for response in ocsps:
        (tmp_path / "r.der").write_bytes(response.dump())
        result = subprocess.run(["openssl", "ocsp", "-respin", "r.der", "-CAfile", sandbox.ca_bundle_path,
                                 "-verify_other", sandbox.ca_bundle_path, "-resp_text"],
                                cwd=tmp_path, capture_output=True, text=True)
        assert "Response verify OK" in result.stderr + result.stdout, result.stderr


@pytest.mark.parametrize("encoding", ["pem", "pkcs7"])
def test_aia_certificates_may_come_as_pem_or_pkcs7(sandbox, encoding):
    ca = sandbox.pki.signer_ca
    if encoding == "pem":
        body = pem.armor("CERTIFICATE", ca.dump())
    else:
        body = cms.ContentInfo({"content_type": "signed_data", "content": {
            "version": "v1", "digest_algorithms": [], "encap_content_info": {"content_type": "data"},
            "certificates": [ca], "signer_infos": []}}).dump()
    sandbox.faults.respond("/aia/signer-ca.cer", 200, body=body, content_type="application/octet-stream")
    certs, _, _ = ValidationContext(allow_fetching=True).collect(_signer_cert(sandbox))
    assert _ders(certs[1:3]) == _ders([ca, sandbox.pki.root])


def test_revoked_signer_is_an_error_naming_it(sandbox):
    cert = _signer_cert(sandbox)
    sandbox.revoke(cert, reason="key_compromise")
    with pytest.raises(RevokedCertificateError,
                       match=r"\(serial 0x%X\) is revoked .*key_compromise" % cert.serial_number) as raised:
        ValidationContext(allow_fetching=True).collect(cert)
    assert cert.subject.native["common_name"] in str(raised.value)


@pytest.mark.parametrize("outage", ["error", "drop", "slow"])
def test_crl_stands_in_for_an_unavailable_responder(sandbox, outage):
    cert = _signer_cert(sandbox)
    if outage == "slow":
        sandbox.faults.delay("/ocsp", 5)
    else:
        sandbox.faults.ocsp_down(how=outage, status=503)
    certs, ocsps, crls = ValidationContext(allow_fetching=True, timeout=0.5).collect(cert)
    assert ocsps == []
    assert sorted(crl["tbs_cert_list"]["issuer"].dump() for crl in crls) == \
        sorted([sandbox.pki.signer_ca.subject.dump(), sandbox.pki.root.subject.dump()])
    # Each dead responder was asked once, and not again on a second collection.
    context = ValidationContext(allow_fetching=True, timeout=0.5)
    context.collect(cert)
    asked = len(_paths(sandbox, "/ocsp/"))
    context.collect(cert)
    assert len(_paths(sandbox, "/ocsp/")) == asked


def test_crl_revocation_counts_when_ocsp_is_down(sandbox):
    cert = _signer_cert(sandbox)
    sandbox.revoke(cert)
    sandbox.faults.ocsp_down()
    with pytest.raises(RevokedCertificateError, match="serial 0x%X.*CRL" % cert.serial_number):
        ValidationContext(allow_fetching=True).collect(cert)


def test_no_revocation_source_at_all(sandbox):
    sandbox.faults.ocsp_down()
    sandbox.faults.crl_down(how="drop")
    with pytest.raises(ValidationError, match="no revocation information .*OCSP responder .*HTTP 500"
                                              ".*CRL distribution point .*unreachable"):
        ValidationContext(allow_fetching=True).collect(_signer_cert(sandbox))


def test_response_signed_by_the_wrong_key(sandbox):
    sandbox.faults.ocsp_wrong_key()
    with pytest.raises(ValidationError, match="OCSP response from .*/ocsp/.* did not certify"):
        ValidationContext(allow_fetching=True).collect(_signer_cert(sandbox))


@pytest.mark.parametrize("fault, expected", [
    ("aia_loop", "loop: .* already in the chain"),
    ("aia_down", r"CA certificate source .*/aia/signer-ca.cer answered HTTP 500"),
])
def test_chains_that_never_reach_a_root(sandbox, fault, expected):
    getattr(sandbox.faults, fault)()
    with pytest.raises(ValidationError, match="does not reach a root: .*" + expected):
        ValidationContext(allow_fetching=True).collect(_signer_cert(sandbox))


def test_every_url_is_fetched_once_per_context(sandbox):
    context = ValidationContext(allow_fetching=True)
    context.collect(_signer_cert(sandbox, "rsa"))
    context.collect(_signer_cert(sandbox, "ecdsa"))  # same CA: only its own OCSP request is new
    context.collect(_signer_cert(sandbox, "rsa"))
    counts = collections.Counter((r.method, r.path, r.body) for r in sandbox.requests)
    assert counts and max(counts.values()) == 1
    assert len([r for r in sandbox.requests if r.path == "/ocsp/signer-ca"]) == 2


def test_without_fetching_nothing_goes_out(sandbox):
    cert = _signer_cert(sandbox)
    online = ValidationContext(allow_fetching=True)
    certs, ocsps, crls = online.collect(cert)
    sandbox.clear_requests()

    offline = ValidationContext(other_certs=certs, ocsps=ocsps, crls=crls, trust_roots=[sandbox.pki.root])
    assert _ders(offline.collect(cert)[1]) == _ders(ocsps)
    with pytest.raises(ValidationError, match="fetching is not allowed"):
        ValidationContext(other_certs=certs).collect(cert)
    with pytest.raises(ValidationError, match="does not reach a trusted root"):
        ValidationContext(other_certs=certs, trust_roots=[cert]).collect(sandbox.pki.signer_ca)
    assert sandbox.requests == []


def test_signature_with_timestamp_collects_both_chains(sandbox, tmp_path):
    signature, cert = sandbox.sign_digest(DIGEST, pki="ecdsa")
    signer = ExternalSigner(signing_cert=cert, signature_value=signature, cert_registry=None)
    stamper = HTTPTimeStamper(sandbox.open_tsa_url)
    attrs = asyncio.run(signer.signed_attrs(DIGEST, "sha256", use_pades=True))
    container = asyncio.run(signer.async_sign_prescribed_attributes("sha256", signed_attrs=attrs,
                                                                    timestamper=stamper))
    certs, ocsps, crls = ValidationContext(allow_fetching=True, trust_roots=[sandbox.pki.root]) \
        .collect_for_cms(container)
    for expected in (cert, sandbox.pki.signer_ca, sandbox.pki.root, sandbox.pki.tsa, sandbox.pki.tsa_ca):
        assert expected.dump() in _ders(certs)
    assert len(ocsps) == 4 and crls == []  # signer, signer CA, TSA, TSA CA
