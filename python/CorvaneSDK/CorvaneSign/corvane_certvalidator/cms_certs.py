"""Certificates carried in a CMS SignedData (signature container or timestamp token)."""

from typing import Any, List, Optional

from asn1crypto import cms

from .naming import same_name

__all__ = ["signed_data_of", "certificates_in", "signer_certificate", "signature_timestamp_tokens"]


def signed_data_of(content_info: Any) -> Any:
    """The SignedData of a ``cms.ContentInfo`` (or a SignedData given as is)."""
    if isinstance(content_info, cms.SignedData):
        return content_info
    if not isinstance(content_info, cms.ContentInfo):
        raise TypeError("expected an asn1crypto cms.ContentInfo, got %s" % type(content_info).__name__)
    if content_info["content_type"].native != "signed_data":
        raise ValueError("CMS content is %s, not signed data" % content_info["content_type"].native)
    return content_info["content"]


def certificates_in(content_info: Any) -> List[Any]:
    """The X.509 certificates listed in the SignedData's ``certificates`` field."""
    certs = signed_data_of(content_info)["certificates"]
    if not certs:
        return []
    return [choice.chosen for choice in certs if choice.name == "certificate"]


def _matches(cert: Any, sid: Any) -> bool:
    if sid.name == "issuer_and_serial_number":
        return bool(cert.serial_number == sid.chosen["serial_number"].native
                    and same_name(cert.issuer, sid.chosen["issuer"]))
    return bool(cert.key_identifier == sid.chosen.native)


def signer_certificate(content_info: Any, signer_info: Any = None) -> Optional[Any]:
    """The certificate that the (first) SignerInfo names as its signer, or None."""
    signed_data = signed_data_of(content_info)
    if signer_info is None:
        infos = signed_data["signer_infos"]
        if not len(infos):
            return None
        signer_info = infos[0]
    for cert in certificates_in(signed_data):
        if _matches(cert, signer_info["sid"]):
            return cert
    return None


def signature_timestamp_tokens(content_info: Any) -> List[Any]:
    """The signature timestamp tokens (ContentInfo) in the unsigned attributes of every SignerInfo."""
    tokens: List[Any] = []
    for signer_info in signed_data_of(content_info)["signer_infos"]:
        unsigned = signer_info["unsigned_attrs"]
        if not unsigned:
            continue
        for attr in unsigned:
            if attr["type"].native == "signature_time_stamp_token":
                tokens.extend(attr["values"])
    return tokens
