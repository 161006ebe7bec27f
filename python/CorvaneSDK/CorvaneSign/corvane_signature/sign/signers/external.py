"""External signer: a CMS signer whose signature value was made elsewhere.

The signing service signs the DER of the canonical signed attributes with a
key we never see and hands back the value and its certificate.  This signer
rebuilds those attributes, checks that the value really is a signature over
them by that certificate, and wraps everything in a detached CMS SignedData.
"""

from __future__ import annotations

import hashlib
from typing import TYPE_CHECKING, Any, Iterable, List, Optional, Union

from asn1crypto import cms

from ...exceptions import SigningError
from ..attributes import DIGEST_ALGORITHM, pades_signed_attributes
from ..cms_builder import build_signed_data, signature_algorithm_for, signature_size_for
from ..token_check import signed_attrs_der
from ....corvane_certvalidator.naming import describe
from ....corvane_certvalidator.registry import as_certificate
from ....corvane_certvalidator.signatures import UnsupportedSignatureAlgorithm, verify_signature

if TYPE_CHECKING:
    from ..timestamps import Timestamper

__all__ = ["ExternalSigner"]

# Room kept in size estimates for parts not known before signing.
_TIMESTAMP_TOKEN_ROOM = 12 * 1024   # a signature timestamp token with its TSA certificate(s)
_UNKNOWN_CERT_ROOM = 4 * 1024       # the signer's certificate while it is still unknown
_UNKNOWN_SIGNATURE_SIZE = 512
_STRUCTURE_ROOM = 1024              # SignedData/SignerInfo framing, algorithms, attributes


def _check_md_algorithm(md_algorithm: str) -> None:
    if md_algorithm != DIGEST_ALGORITHM:
        raise SigningError("digest algorithm %r is not supported; only %r is"
                           % (md_algorithm, DIGEST_ALGORITHM))


def _attr_values(attrs: Any, name: str) -> List[Any]:
    for attr in attrs:
        if attr["type"].native == name:
            return list(attr["values"])
    return []


class ExternalSigner:
    """Signer around a signature value computed by the remote signing service.

    ``signing_cert`` may be None while the document is only laid out (the
    value is then a placeholder); it is needed for the signed attributes and
    the container.  ``cert_registry`` holds further certificates to embed
    (any iterable of certificates, e.g. a SimpleCertificateStore);
    ``embed_roots=False`` leaves self-signed ones out.
    """

    def __init__(self, *, signature_value: Union[bytes, bytearray], signing_cert: Any = None,
                 cert_registry: Optional[Iterable[Any]] = None, embed_roots: bool = True) -> None:
        if not isinstance(signature_value, (bytes, bytearray)):
            raise TypeError("signature_value must be bytes, got %s" % type(signature_value).__name__)
        self.signature_value = bytes(signature_value)
        self.signing_cert = None if signing_cert is None else as_certificate(signing_cert)
        self.cert_registry = cert_registry
        self.embed_roots = embed_roots
        # The timestamper that made the signature timestamp; an archival
        # document timestamp later goes to the same server.
        self.timestamper: Optional[Timestamper] = None

    def _require_cert(self, purpose: str) -> Any:
        if self.signing_cert is None:
            raise SigningError("the signer has no certificate; %s needs one" % purpose)
        return self.signing_cert

    def extra_certificates(self) -> List[Any]:
        """The certificates of ``cert_registry`` that go into the container."""
        if self.cert_registry is None:
            return []
        certs = [as_certificate(cert) for cert in self.cert_registry]
        if not self.embed_roots:
            certs = [cert for cert in certs if cert.self_signed == "no"]
        return certs

    def estimated_container_size(self) -> int:
        """Upper bound, in bytes, of the DER container this signer will produce."""
        cert = self.signing_cert
        if cert is None:
            size = _UNKNOWN_CERT_ROOM * 2  # the certificate, and its issuer name in the attributes
            size += max(len(self.signature_value), _UNKNOWN_SIGNATURE_SIZE)
        else:
            size = len(cert.dump()) + len(cert.issuer.dump())
            size += max(len(self.signature_value), signature_size_for(cert))
        size += sum(len(extra.dump()) for extra in self.extra_certificates())
        return size + _STRUCTURE_ROOM + _TIMESTAMP_TOKEN_ROOM

    async def signed_attrs(self, digest: bytes, md_algorithm: str, use_pades: bool = True) -> Any:
        """The canonical signed attributes over ``digest`` (``cms.CMSAttributes``).

        The same attributes serve the PAdES and the PKCS#7-detached layouts:
        they are what the signing service signs, so there is only one set.
        """
        _check_md_algorithm(md_algorithm)
        cert = self._require_cert("building the signed attributes")
        try:
            return pades_signed_attributes(digest, cert)
        except (TypeError, ValueError) as exc:
            raise SigningError("cannot build signed attributes: %s" % exc) from None

    def _check_signature(self, cert: Any, attrs_der: bytes) -> None:
        algorithm = signature_algorithm_for(cert, DIGEST_ALGORITHM)
        try:
            valid = verify_signature(cert.public_key, attrs_der, self.signature_value,
                                     algorithm, DIGEST_ALGORITHM)
        except UnsupportedSignatureAlgorithm as exc:
            raise SigningError("signature of %s cannot be checked: %s"
                               % (describe(cert), exc)) from None
        if not valid:
            raise SigningError(
                "the signature value does not verify with the certificate of %s over the signed "
                "attributes: wrong key, other data signed, or a damaged value" % describe(cert))

    async def async_sign_prescribed_attributes(self, md_algorithm: str, signed_attrs: Any,
                                               timestamper: Optional[Timestamper] = None) -> Any:
        """The CMS ``ContentInfo`` around the external value, with a signature
        timestamp from ``timestamper`` when one is given."""
        _check_md_algorithm(md_algorithm)
        cert = self._require_cert("building the signature container")
        if not isinstance(signed_attrs, cms.CMSAttributes):
            try:
                signed_attrs = cms.CMSAttributes(list(signed_attrs))
            except (TypeError, ValueError) as exc:
                raise SigningError("signed attributes must be cms.CMSAttributes: %s" % exc) from None
        attrs_der = signed_attrs.untag().dump()
        content_types = _attr_values(signed_attrs, "content_type")
        digests = _attr_values(signed_attrs, "message_digest")
        if len(content_types) != 1 or content_types[0].native != "data" or len(digests) != 1:
            raise SigningError("signed attributes must hold one content-type (data) "
                               "and one message-digest")
        self._check_signature(cert, attrs_der)

        unsigned = []
        if timestamper is not None:
            imprint = hashlib.sha256(self.signature_value).digest()
            if hasattr(timestamper, "async_timestamp"):
                token = await timestamper.async_timestamp(imprint, DIGEST_ALGORITHM)
            else:
                token = timestamper.timestamp(imprint, DIGEST_ALGORITHM)
            unsigned.append(cms.CMSAttribute({"type": "signature_time_stamp_token",
                                              "values": [token]}))
            self.timestamper = timestamper

        content_info = build_signed_data(cert, self.signature_value, cms.CMSAttributes.load(attrs_der),
                                         self.extra_certificates(), DIGEST_ALGORITHM, unsigned)
        signer_info = content_info["content"]["signer_infos"][0]
        if signed_attrs_der(signer_info) != attrs_der:  # the container must carry the signed bytes
            raise SigningError("internal error: signed attributes changed while building the container")
        return content_info
