"""Validation information for the document security store (DSS): which
certificates need it, gathering it through a validation context, and the
engine call that writes it.
"""

from __future__ import annotations

import hashlib
from typing import Any, Iterable, List, Mapping, Optional, Sequence, Union

from asn1crypto import cms

from ..exceptions import ValidationError, ValidationInfoUnavailableError
from .... import _pdfengine
from ..pdf_utils.file_input import FileInput, engine_piece
from ...corvane_certvalidator.naming import same_name

__all__ = ["ValidationData", "require_gathering", "gather_validation_data", "signer_certificates",
           "vri_key", "dss_update", "extend_dss"]


class ValidationData:
    """DER-encoded certificates, OCSP responses and CRLs, each once, in order of arrival."""

    def __init__(self) -> None:
        self.certs: List[bytes] = []
        self.ocsps: List[bytes] = []
        self.crls: List[bytes] = []

    def add(self, certs: Iterable[Any] = (), ocsps: Iterable[Any] = (),
            crls: Iterable[Any] = ()) -> ValidationData:
        for target, items in ((self.certs, certs), (self.ocsps, ocsps), (self.crls, crls)):
            for item in items:
                der = item if isinstance(item, bytes) else item.dump()
                if der not in target:
                    target.append(der)
        return self


def require_gathering(validation_context: Any) -> None:
    """Raises unless ``validation_context`` can gather validation information."""
    if validation_context is None:
        raise ValidationError("embedding validation information needs a validation context")
    if not any(callable(getattr(validation_context, name, None))
               for name in ("async_collect_for_cms", "async_collect")):
        raise ValidationInfoUnavailableError(
            "validation information cannot be gathered: %s offers no certificate chain and "
            "revocation collection (async_collect)" % type(validation_context).__name__)


async def gather_validation_data(validation_context: Any, container_der: bytes) -> ValidationData:
    """Chains and revocation data for the signer of a CMS container (a
    signature or a timestamp token) and for the authorities of its signature
    timestamps, from the validation context."""
    require_gathering(validation_context)
    data = ValidationData()
    collect_for_cms = getattr(validation_context, "async_collect_for_cms", None)
    if callable(collect_for_cms):
        return data.add(*await collect_for_cms(cms.ContentInfo.load(container_der)))
    for certificate in signer_certificates(container_der):
        certs, ocsps, crls = await validation_context.async_collect(certificate)
        data.add([certificate], [], [])
        data.add(certs, ocsps, crls)
    return data


def _signer_of(signed_data: Any) -> Optional[Any]:
    """The certificate that signed a SignedData, matched by its signer identifier."""
    signer_infos = signed_data["signer_infos"]
    if len(signer_infos) == 0:
        return None
    sid = signer_infos[0]["sid"]
    for choice in signed_data["certificates"] or []:
        if choice.name != "certificate":
            continue
        cert = choice.chosen
        if sid.name == "issuer_and_serial_number":
            if same_name(cert.issuer, sid.chosen["issuer"]) and cert.serial_number == sid.chosen["serial_number"].native:
                return cert
        elif cert.key_identifier == sid.chosen.native:
            return cert
    return None


def signer_certificates(container_der: bytes) -> List[Any]:
    """The signer's certificate of a CMS signature container, then those of
    the timestamp authorities of its signature timestamps."""
    signed_data = cms.ContentInfo.load(container_der)["content"]
    found = []
    signer = _signer_of(signed_data)
    if signer is not None:
        found.append(signer)
    for signer_info in signed_data["signer_infos"]:
        for attribute in signer_info["unsigned_attrs"] or []:
            if attribute["type"].native != "signature_time_stamp_token":
                continue
            for token in attribute["values"]:
                tsa = _signer_of(token["content"])
                if tsa is not None:
                    found.append(tsa)
    return found


def vri_key(contents: bytes) -> str:
    """The /VRI key of a signature: upper-case hex SHA-1 of its /Contents bytes."""
    return hashlib.sha1(contents).hexdigest().upper()


def dss_update(pieces: Sequence[Union[bytes, FileInput]], data: ValidationData,
               vri: Optional[Mapping[str, ValidationData]] = None) -> bytes:
    """The incremental update adding ``data`` to the DSS of the document made of
    ``pieces``; ``vri`` maps /VRI keys to ValidationData. b"" when nothing is new."""
    document = _pdfengine.open(tuple(engine_piece(piece) for piece in pieces))
    return extend_dss(document, data, vri)


def extend_dss(document: _pdfengine.Document, data: ValidationData,
               vri: Optional[Mapping[str, ValidationData]] = None) -> bytes:
    """The update adding ``data`` (and ``vri``) to the DSS of the engine
    ``document``, which goes on from it: the caller appends the update to the
    document's bytes. b"" when nothing is new."""
    entries = None
    if vri:
        entries = [(key, value.certs, value.ocsps, value.crls) for key, value in vri.items()]
    update = document.append_dss(data.certs, data.ocsps, data.crls, entries)
    if update:
        document.extend(update)
    return update
