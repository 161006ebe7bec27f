"""The canonical PAdES signed attributes.

The signing service signs the DER encoding of exactly these attributes, and
the library embeds exactly these attributes in the CMS container, so both
ends build them here.  The same digest and certificate always give the same
bytes: content-type, message-digest and signing-certificate-v2 (ESSCertIDv2
over the SHA-256 certificate hash with issuer and serial), in DER set order,
no signing-time.
"""

import hashlib
from typing import Any, Union

from asn1crypto import cms, tsp, x509

from ..asn1_values import encoded_once

__all__ = ["pades_signed_attributes", "DIGEST_ALGORITHM"]

DIGEST_ALGORITHM = "sha256"
_DIGEST_SIZE = 32


def _signing_certificate_v2(cert: Any) -> Any:
    # Encoded from the inside out, each level once (see encoded_once).
    issuer_serial = encoded_once(tsp.IssuerSerial, {
        "issuer": [x509.GeneralName(name="directory_name", value=cert.issuer)],
        "serial_number": cert.serial_number,
    })
    cert_id = encoded_once(tsp.ESSCertIDv2, {
        # hashAlgorithm is left out: its DEFAULT is SHA-256 and DER omits defaults.
        "cert_hash": hashlib.sha256(cert.dump()).digest(),
        "issuer_serial": issuer_serial,
    })
    return encoded_once(tsp.SigningCertificateV2, {"certs": [cert_id]})


def pades_signed_attributes(document_digest: Union[bytes, bytearray], signing_cert: Any) -> Any:
    """Signed attributes for ``document_digest`` (SHA-256 bytes) and the signer's certificate."""
    if not isinstance(document_digest, (bytes, bytearray)) or len(document_digest) != _DIGEST_SIZE:
        raise ValueError("document digest must be %d bytes of SHA-256" % _DIGEST_SIZE)
    if not isinstance(signing_cert, x509.Certificate):
        raise TypeError("signing certificate must be an asn1crypto x509.Certificate")
    attrs = [
        encoded_once(cms.CMSAttribute, {"type": "content_type", "values": ["data"]}),
        encoded_once(cms.CMSAttribute, {"type": "message_digest", "values": [bytes(document_digest)]}),
        encoded_once(cms.CMSAttribute, {
            "type": "signing_certificate_v2",
            "values": [_signing_certificate_v2(signing_cert)],
        }),
    ]
    # DER orders a SET OF by the encodings of its members.
    attrs.sort(key=lambda attr: attr.dump())
    return encoded_once(cms.CMSAttributes, attrs)
