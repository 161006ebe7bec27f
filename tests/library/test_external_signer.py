"""ExternalSigner: the CMS container around a signature value made elsewhere."""

import asyncio
import hashlib
import subprocess

import pytest
from asn1crypto import cms
from requests.auth import HTTPBasicAuth

from CorvaneSDK.CorvaneSign.corvane_certvalidator.registry import SimpleCertificateStore
from CorvaneSDK.CorvaneSign.corvane_certvalidator.signatures import verify_signature
from CorvaneSDK.CorvaneSign.corvane_signature.exceptions import SigningError, TimestampError
from CorvaneSDK.CorvaneSign.corvane_signature.sign.attributes import pades_signed_attributes
from CorvaneSDK.CorvaneSign.corvane_signature.sign.signers import ExternalSigner
from CorvaneSDK.CorvaneSign.corvane_signature.sign.timestamps import HTTPTimeStamper

from offline_pki import Pki, sign_bytes

CONTENT = b"%PDF-1.7 the signed byte ranges of some document"


@pytest.fixture(scope="module", params=["rsa", "ec"])
def pki(request):
    return Pki(request.param)


def _signed(pki, registry=(), embed_roots=True, value=None):
    attrs = pades_signed_attributes(hashlib.sha256(CONTENT).digest(), pki.signer.asn1)
    store = SimpleCertificateStore()
    store.register_multiple(cert.asn1 for cert in registry)
    signer = ExternalSigner(signature_value=value or sign_bytes(pki.signer.key, attrs.dump()),
                            signing_cert=pki.signer.asn1, cert_registry=store, embed_roots=embed_roots)
    return signer, attrs


def test_container_verifies_with_openssl_and_has_the_agreed_layout(pki, tmp_path):
    signer, _ = _signed(pki, registry=[pki.ca, pki.root])
    attrs = asyncio.run(signer.signed_attrs(hashlib.sha256(CONTENT).digest(), "sha256", use_pades=True))
    container = asyncio.run(signer.async_sign_prescribed_attributes("sha256", signed_attrs=attrs))
    assert signer.timestamper is None

    (tmp_path / "sig.der").write_bytes(container.dump())
    (tmp_path / "content.bin").write_bytes(CONTENT)
    (tmp_path / "root.pem").write_bytes(pki.root.pem())
    result = subprocess.run(["openssl", "cms", "-verify", "-inform", "DER", "-in", "sig.der", "-binary",
                             "-content", "content.bin", "-CAfile", "root.pem", "-purpose", "any",
                             "-out", "/dev/null"], cwd=tmp_path, capture_output=True, text=True)
    assert result.returncode == 0, result.stderr

    signed_data = container["content"]
    assert container["content_type"].native == "signed_data"
    assert signed_data["version"].native == "v1"
    assert [a["algorithm"].native for a in signed_data["digest_algorithms"]] == ["sha256"]
    assert signed_data["encap_content_info"]["content_type"].native == "data"
    assert not signed_data["encap_content_info"]["content"]
    # A DER SET OF: sorted by encoding, not in insertion order.
    assert sorted(c.chosen.dump() for c in signed_data["certificates"]) == \
        sorted([pki.signer.asn1.dump(), pki.ca.asn1.dump(), pki.root.asn1.dump()])
    (info,) = signed_data["signer_infos"]
    assert info["version"].native == "v1"
    assert info["sid"].name == "issuer_and_serial_number"
    assert info["sid"].chosen["serial_number"].native == pki.signer.asn1.serial_number
    expected_algo = {"rsa": "sha256_rsa", "ec": "sha256_ecdsa"}[pki.signer.asn1.public_key.algorithm]
    assert info["signature_algorithm"]["algorithm"].native == expected_algo
    assert info["signature"].native == signer.signature_value
    assert info["signed_attrs"].untag().dump() == attrs.dump()
    assert not info["unsigned_attrs"]


def test_embed_roots_false_leaves_self_signed_certificates_out(pki):
    signer, attrs = _signed(pki, registry=[pki.ca, pki.root, pki.ca], embed_roots=False)
    container = asyncio.run(signer.async_sign_prescribed_attributes("sha256", signed_attrs=attrs))
    embedded = sorted(c.chosen.dump() for c in container["content"]["certificates"])
    assert embedded == sorted([pki.signer.asn1.dump(), pki.ca.asn1.dump()])


@pytest.mark.parametrize("wrong", ["other data", "other key", "zero placeholder", "truncated"])
def test_a_value_that_does_not_verify_is_refused_naming_the_certificate(pki, wrong):
    _, attrs = _signed(pki)
    value = {
        "other data": lambda: sign_bytes(pki.signer.key, attrs.dump() + b"x"),
        "other key": lambda: sign_bytes(pki.ca.key, attrs.dump()),
        "zero placeholder": lambda: bytes(256),
        "truncated": lambda: sign_bytes(pki.signer.key, attrs.dump())[:-4],
    }[wrong]()
    signer, attrs = _signed(pki, value=value)
    with pytest.raises(SigningError, match="does not verify.*Test Signer"):
        asyncio.run(signer.async_sign_prescribed_attributes("sha256", signed_attrs=attrs))


def test_placeholder_signer_only_serves_size_estimation(pki):
    placeholder = ExternalSigner(signature_value=bytes(256), signing_cert=None, cert_registry=None)
    real, attrs = _signed(pki, registry=[pki.ca])
    container = asyncio.run(real.async_sign_prescribed_attributes("sha256", signed_attrs=attrs))
    # Both estimates leave room for the container plus a signature timestamp.
    for signer in (placeholder, real):
        assert signer.estimated_container_size() >= len(container.dump()) + 8 * 1024
    with pytest.raises(SigningError, match="no certificate"):
        asyncio.run(placeholder.signed_attrs(hashlib.sha256(CONTENT).digest(), "sha256"))
    with pytest.raises(SigningError, match="no certificate"):
        asyncio.run(placeholder.async_sign_prescribed_attributes("sha256", signed_attrs=attrs))


@pytest.mark.parametrize("call", ["signed_attrs", "sign"])
def test_only_sha256_is_accepted(pki, call):
    signer, attrs = _signed(pki)
    if call == "signed_attrs":
        coroutine = signer.signed_attrs(hashlib.sha1(CONTENT).digest(), "sha1")
    else:
        coroutine = signer.async_sign_prescribed_attributes("sha512", signed_attrs=attrs)
    with pytest.raises(SigningError, match="sha256"):
        asyncio.run(coroutine)


def test_signed_attributes_are_the_canonical_ones_and_check_the_digest(pki):
    signer, _ = _signed(pki)
    digest = hashlib.sha256(CONTENT).digest()
    attrs = asyncio.run(signer.signed_attrs(digest, "sha256"))
    assert isinstance(attrs, cms.CMSAttributes)
    assert attrs.dump() == pades_signed_attributes(digest, pki.signer.asn1).dump()
    with pytest.raises(SigningError, match="32 bytes"):
        asyncio.run(signer.signed_attrs(digest[:20], "sha256"))


def test_verify_signature_rejects_a_key_of_the_wrong_type():
    rsa_pki, ec_pki = Pki("rsa"), Pki("ec")
    data = b"payload"
    value = sign_bytes(ec_pki.signer.key, data)
    assert verify_signature(ec_pki.signer.asn1.public_key, data, value, {"algorithm": "sha256_ecdsa"})
    assert not verify_signature(rsa_pki.signer.asn1.public_key, data, value, {"algorithm": "sha256_ecdsa"})
    assert not verify_signature(ec_pki.signer.asn1.public_key, data, value, {"algorithm": "sha256_rsa"})


@pytest.mark.parametrize("key_type", ["rsa", "ecdsa"])
def test_service_signature_with_timestamp_from_the_sandbox(sandbox, key_type, tmp_path):
    digest = hashlib.sha256(CONTENT).digest()
    signature, cert = sandbox.sign_digest(digest, pki=key_type)
    signer = ExternalSigner(signing_cert=cert, signature_value=signature,
                            cert_registry=SimpleCertificateStore(), embed_roots=True)
    stamper = HTTPTimeStamper(sandbox.tsa_url, auth=HTTPBasicAuth(sandbox.tsa_username, sandbox.tsa_password))
    attrs = asyncio.run(signer.signed_attrs(digest, "sha256", use_pades=True))
    container = asyncio.run(signer.async_sign_prescribed_attributes("sha256", signed_attrs=attrs,
                                                                    timestamper=stamper))
    assert signer.timestamper is stamper
    placeholder = ExternalSigner(signature_value=bytes(256), signing_cert=None, cert_registry=None)
    assert placeholder.estimated_container_size() >= len(container.dump())
    assert signer.estimated_container_size() >= len(container.dump())

    (info,) = container["content"]["signer_infos"]
    (attr,) = info["unsigned_attrs"]
    assert attr["type"].native == "signature_time_stamp_token"
    (tmp_path / "token.der").write_bytes(attr["values"][0].dump())
    (tmp_path / "sig.der").write_bytes(container.dump())
    checks = [
        ["openssl", "ts", "-verify", "-digest", hashlib.sha256(signature).hexdigest(),
         "-in", "token.der", "-token_in", "-CAfile", sandbox.ca_bundle_path],
        ["openssl", "cms", "-cmsout", "-print", "-inform", "DER", "-in", "sig.der", "-noout"],
    ]
    for command in checks:
        result = subprocess.run(command, cwd=tmp_path, capture_output=True, text=True)
        assert result.returncode == 0, result.stdout + result.stderr


def test_timestamp_failure_stops_the_container(sandbox):
    digest = hashlib.sha256(CONTENT).digest()
    signature, cert = sandbox.sign_digest(digest)
    signer = ExternalSigner(signing_cert=cert, signature_value=signature, cert_registry=None)
    attrs = asyncio.run(signer.signed_attrs(digest, "sha256"))
    sandbox.faults.tsa_reject()
    with pytest.raises(TimestampError, match="rejected"):
        asyncio.run(signer.async_sign_prescribed_attributes(
            "sha256", signed_attrs=attrs, timestamper=HTTPTimeStamper(sandbox.open_tsa_url)))
    assert signer.timestamper is None
