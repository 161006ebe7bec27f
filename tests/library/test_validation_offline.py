"""ValidationContext without fetching: chains and revocation data from what it is given."""

import asyncio
import hashlib

import pytest

from CorvaneSDK.CorvaneSign.corvane_certvalidator import ValidationContext
from CorvaneSDK.CorvaneSign.corvane_certvalidator.ocsp_check import built_by_asn1crypto, built_by_cryptography
from CorvaneSDK.CorvaneSign.corvane_certvalidator.registry import SimpleCertificateStore
from CorvaneSDK.CorvaneSign.corvane_signature.exceptions import RevokedCertificateError, ValidationError
from CorvaneSDK.CorvaneSign.corvane_signature.sign.attributes import pades_signed_attributes
from CorvaneSDK.CorvaneSign.corvane_signature.sign.signers import ExternalSigner

from offline_pki import HOUR, NOW, Issued, Pki, crl, issue, new_key, ocsp_response, sign_bytes


@pytest.fixture(scope="module")
def pki():
    return Pki("rsa")


@pytest.fixture(scope="module")
def ca_good(pki):
    return ocsp_response(pki.ca, pki.root)


def _context(pki, ca_good, ocsps=(), crls=(), **kwargs):
    return ValidationContext(other_certs=[pki.ca.asn1, pki.root.asn1], allow_fetching=False,
                             ocsps=[ca_good] + list(ocsps), crls=list(crls), **kwargs)


def _ders(items):
    return [item.dump() for item in items]


def test_chain_and_ocsp_for_every_certificate_but_the_root(pki, ca_good):
    signer_good = ocsp_response(pki.signer, pki.ca)
    context = _context(pki, ca_good, ocsps=[signer_good], trust_roots=[pki.root.asn1])
    certs, ocsps, crls = asyncio.run(context.async_collect(pki.signer.asn1))
    assert _ders(certs) == _ders([pki.signer.asn1, pki.ca.asn1, pki.root.asn1])
    assert sorted(_ders(ocsps)) == sorted(_ders([signer_good, ca_good]))
    assert crls == []


@pytest.mark.parametrize("ocsp_case", ["stale", "unknown", "future", "none"])
def test_crl_stands_in_when_ocsp_is_unusable(pki, ca_good, ocsp_case):
    given = {
        "stale": [ocsp_response(pki.signer, pki.ca, this_update=NOW - 3 * HOUR, next_update=NOW - 2 * HOUR)],
        "unknown": [ocsp_response(pki.signer, pki.ca, status="unknown")],
        "future": [ocsp_response(pki.signer, pki.ca, this_update=NOW + 2 * HOUR, next_update=NOW + 3 * HOUR)],
        "none": [],
    }[ocsp_case]
    current_crl = crl(pki.ca)
    certs, ocsps, crls = _context(pki, ca_good, ocsps=given, crls=[current_crl]).collect(pki.signer.asn1)
    assert _ders(ocsps) == _ders([ca_good])
    assert _ders(crls) == _ders([current_crl])


@pytest.mark.parametrize("source", ["ocsp", "crl"])
def test_revoked_certificate_is_an_error_naming_it(pki, ca_good, source):
    if source == "ocsp":
        context = _context(pki, ca_good, ocsps=[ocsp_response(pki.signer, pki.ca, status="revoked")])
    else:
        context = _context(pki, ca_good, crls=[crl(pki.ca, revoked=[pki.signer])])
    expected = r"\"Test Signer\" \(serial 0x%X\) is revoked" % pki.signer.asn1.serial_number
    with pytest.raises(RevokedCertificateError, match=expected):
        context.collect(pki.signer.asn1)


def test_wrong_keys_are_errors_even_when_another_source_would_do(pki, ca_good):
    impostor = issue("Impostor", new_key("rsa"))
    good_crl = crl(pki.ca)
    forged_ocsp = ocsp_response(pki.signer, pki.ca, forge_key=impostor.key)
    with pytest.raises(ValidationError, match="Test Signer.*wrong key"):
        _context(pki, ca_good, ocsps=[forged_ocsp], crls=[good_crl]).collect(pki.signer.asn1)
    with pytest.raises(ValidationError, match="CRL .*wrong key"):
        _context(pki, ca_good, crls=[crl(pki.ca, signing_key=impostor.key)]).collect(pki.signer.asn1)


@pytest.mark.parametrize("certified", [True, False])
def test_delegated_responder_must_be_certified_by_the_issuer(pki, ca_good, certified):
    responder = pki.responder(pki.ca, eku=certified)
    response = ocsp_response(pki.signer, pki.ca, signer=responder)
    context = _context(pki, ca_good, ocsps=[response])
    if certified:
        certs, ocsps, _ = context.collect(pki.signer.asn1)
        assert responder.asn1.dump() in _ders(certs)
        assert response.dump() in _ders(ocsps)
    else:
        with pytest.raises(ValidationError, match="did not certify"):
            context.collect(pki.signer.asn1)


def test_without_any_revocation_source_the_error_says_why(pki, ca_good):
    with pytest.raises(ValidationError,
                       match="no revocation information.*Test Signer.*fetching is not allowed"):
        _context(pki, ca_good).collect(pki.signer.asn1)


def test_stale_ocsp_without_crl_is_reported(pki, ca_good):
    stale = ocsp_response(pki.signer, pki.ca, this_update=NOW - 3 * HOUR, next_update=NOW - 2 * HOUR)
    with pytest.raises(ValidationError, match="stale"):
        _context(pki, ca_good, ocsps=[stale]).collect(pki.signer.asn1)


def test_chain_problems(pki, ca_good):
    signer_good = ocsp_response(pki.signer, pki.ca)
    with pytest.raises(ValidationError,
                       match="does not reach a root.*Test Signer CA.*fetching is not allowed"):
        ValidationContext(other_certs=[pki.root.asn1], ocsps=[signer_good]).collect(pki.signer.asn1)
    other_root = issue("Other Root", new_key("ec"), ca=True)
    with pytest.raises(ValidationError, match="Test Root.*not a trusted root"):
        _context(pki, ca_good, ocsps=[signer_good], trust_roots=[other_root.asn1]).collect(pki.signer.asn1)


def test_an_issuer_named_in_another_encoding_is_still_found(pki, ca_good):
    # Names compare by RFC 5280 rules (case, spaces, string type), not by their bytes.
    from cryptography import x509
    from cryptography.hazmat.primitives import hashes
    from cryptography.x509.name import _ASN1Type
    from cryptography.x509.oid import NameOID

    key = new_key("ec")
    issuer_name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "test  signer CA", _ASN1Type.PrintableString)])
    assert issuer_name.public_bytes() != pki.ca.crypto.subject.public_bytes()
    leaf = (x509.CertificateBuilder()
            .subject_name(x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "Leaf")]))
            .issuer_name(issuer_name).public_key(key.public_key()).serial_number(7)
            .not_valid_before(NOW - HOUR).not_valid_after(NOW + HOUR)
            .add_extension(x509.AuthorityKeyIdentifier.from_issuer_public_key(pki.ca.key.public_key()),
                           critical=False)
            .sign(pki.ca.key, hashes.SHA256()))
    leaf = Issued(leaf, key)
    certs, ocsps, _ = _context(pki, ca_good, ocsps=[ocsp_response(leaf, pki.ca)]).collect(leaf.asn1)
    assert _ders(certs) == _ders([leaf.asn1, pki.ca.asn1, pki.root.asn1])
    assert len(ocsps) == 2


def test_collect_for_cms_uses_the_certificates_the_container_carries(pki, ca_good):
    attrs = pades_signed_attributes(hashlib.sha256(b"doc").digest(), pki.signer.asn1)
    registry = SimpleCertificateStore()
    registry.register(pki.ca.asn1)
    signer = ExternalSigner(signature_value=sign_bytes(pki.signer.key, attrs.dump()),
                            signing_cert=pki.signer.asn1, cert_registry=registry)
    container = asyncio.run(signer.async_sign_prescribed_attributes("sha256", signed_attrs=attrs))
    context = ValidationContext(trust_roots=[pki.root.asn1],
                                ocsps=[ca_good, ocsp_response(pki.signer, pki.ca)])
    certs, ocsps, crls = asyncio.run(context.async_collect_for_cms(container))
    assert _ders(certs) == _ders([pki.signer.asn1, pki.ca.asn1, pki.root.asn1])
    assert len(ocsps) == 2 and crls == []


def test_certificate_store_is_an_ordered_set(pki):
    store = SimpleCertificateStore()
    assert store.register(pki.signer.asn1) is True
    assert store.register(pki.signer.asn1.dump()) is False
    assert store.register_multiple([pki.ca.asn1, pki.signer.asn1, pki.root.asn1]) == 2
    assert len(store) == 3 and pki.ca.asn1 in store
    assert _ders(store) == _ders([pki.signer.asn1, pki.ca.asn1, pki.root.asn1])
    assert _ders(store.retrieve_by_name(pki.ca.asn1.subject)) == _ders([pki.ca.asn1])
    assert store.retrieve_by_issuer_serial(pki.signer.asn1.issuer, pki.signer.asn1.serial_number) \
        .dump() == pki.signer.asn1.dump()
    with pytest.raises(ValueError, match="certificate"):
        store.register(b"not a certificate")


@pytest.mark.parametrize("key_type", ["rsa", "ec"])
def test_cryptography_builds_the_very_ocsp_request_asn1crypto_builds(key_type):
    # The fast builder must not change what responders are asked: hash
    # algorithm parameters, name and key hashes, serial.
    other = Pki(key_type)
    for cert, issuer in ((other.signer, other.ca), (other.ca, other.root)):
        assert built_by_cryptography(cert.asn1, issuer.asn1) == built_by_asn1crypto(cert.asn1, issuer.asn1).dump()
