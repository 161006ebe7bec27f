"""The canonical signed attributes are a contract between the library and the
signing service: pin their exact DER for a fixed certificate and digest,
assembled here byte by byte from the ASN.1 definitions."""

import datetime
import hashlib

import pytest
from asn1crypto import keys, x509

from CorvaneSDK.CorvaneSign.corvane_signature.sign.attributes import pades_signed_attributes

UTC = datetime.timezone.utc
SERIAL = 0x00F1E2D3C4B5A69788
DIGEST = hashlib.sha256(b"pinned document").digest()

OID_CONTENT_TYPE = bytes.fromhex("06092a864886f70d010903")
OID_ID_DATA = bytes.fromhex("06092a864886f70d010701")
OID_MESSAGE_DIGEST = bytes.fromhex("06092a864886f70d010904")
OID_SIGNING_CERTIFICATE_V2 = bytes.fromhex("060b2a864886f70d010910022f")


def fixed_certificate():
    """A certificate with fixed content (its signature need not verify here)."""
    return x509.Certificate({
        "tbs_certificate": {
            "version": "v3",
            "serial_number": SERIAL,
            "signature": {"algorithm": "sha256_ecdsa"},
            "issuer": x509.Name.build({"common_name": "Pinned Test CA",
                                       "organization_name": "Corvane Test"}),
            "validity": {
                "not_before": x509.Time(name="utc_time", value=datetime.datetime(2024, 1, 1, tzinfo=UTC)),
                "not_after": x509.Time(name="utc_time", value=datetime.datetime(2034, 1, 1, tzinfo=UTC)),
            },
            "subject": x509.Name.build({"common_name": "Pinned Signer"}),
            "subject_public_key_info": {
                "algorithm": {"algorithm": "ec",
                              "parameters": keys.ECDomainParameters(name="named", value="secp256r1")},
                "public_key": b"\x04" + bytes(range(64)),
            },
        },
        "signature_algorithm": {"algorithm": "sha256_ecdsa"},
        "signature_value": bytes.fromhex("3006020101020101"),
    })


def tlv(tag, content):
    size = len(content)
    if size < 0x80:
        length = bytes([size])
    else:
        octets = size.to_bytes((size.bit_length() + 7) // 8, "big")
        length = bytes([0x80 | len(octets)]) + octets
    return bytes([tag]) + length + content


def integer(value):
    return tlv(0x02, value.to_bytes(value.bit_length() // 8 + 1, "big", signed=True))


def expected_attributes(certificate, digest):
    content_type = tlv(0x30, OID_CONTENT_TYPE + tlv(0x31, OID_ID_DATA))
    message_digest = tlv(0x30, OID_MESSAGE_DIGEST + tlv(0x31, tlv(0x04, digest)))
    # ESSCertIDv2 without hashAlgorithm (SHA-256 is its DEFAULT), with issuerSerial:
    # GeneralNames { directoryName [4] Name }, serialNumber.
    issuer_serial = tlv(0x30, tlv(0x30, tlv(0xA4, certificate.issuer.dump())) + integer(SERIAL))
    ess_cert_id = tlv(0x30, tlv(0x04, hashlib.sha256(certificate.dump()).digest()) + issuer_serial)
    signing_certificate = tlv(0x30, OID_SIGNING_CERTIFICATE_V2 +
                              tlv(0x31, tlv(0x30, tlv(0x30, ess_cert_id))))
    # DER sorts the members of a SET OF by their encodings.
    members = sorted([content_type, message_digest, signing_certificate])
    return tlv(0x31, b"".join(members))


def test_pinned_der():
    certificate = fixed_certificate()
    built = pades_signed_attributes(DIGEST, certificate).dump()
    assert built == expected_attributes(certificate, DIGEST)
    # The service rebuilds them from the certificate it parsed from DER: same bytes.
    reparsed = x509.Certificate.load(certificate.dump())
    assert pades_signed_attributes(bytearray(DIGEST), reparsed).dump() == built
    # No signing-time: exactly the three attributes.
    assert [attr["type"].native for attr in pades_signed_attributes(DIGEST, certificate)] == \
        ["content_type", "message_digest", "signing_certificate_v2"]


@pytest.mark.parametrize("digest,error", [
    (DIGEST[:31], ValueError), (DIGEST + b"\x00", ValueError), ("a" * 32, ValueError),
])
def test_digest_must_be_32_bytes(digest, error):
    with pytest.raises(error, match="32 bytes"):
        pades_signed_attributes(digest, fixed_certificate())


def test_certificate_must_be_parsed():
    with pytest.raises(TypeError, match="x509.Certificate"):
        pades_signed_attributes(DIGEST, fixed_certificate().dump())
