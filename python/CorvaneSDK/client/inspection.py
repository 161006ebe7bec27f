"""Times read back from a signature the Client just made, for its result."""

from __future__ import annotations

import datetime
from typing import Any, Optional, Tuple

from .. import _pdfengine
from ..verification.pdf_values import pdf_date

__all__ = ["signature_times"]


def _token_time(token: Any) -> Optional[datetime.datetime]:
    info = token["content"]["encap_content_info"]["content"].parsed
    return info["gen_time"].native  # type: ignore[no-any-return]


def _signature_timestamp(container: Any) -> Any:
    from asn1crypto import core

    attributes = container["content"]["signer_infos"][0]["unsigned_attrs"]
    # Not `.native is None`: that converts the whole token (and the certificates
    # in it) to Python values, which costs more than the signing run itself.
    if isinstance(attributes, core.Void):
        return None
    for attribute in attributes:
        if attribute["type"].native == "signature_time_stamp_token":
            return attribute["values"][0]
    return None


def signature_times(document: bytes, field: str) -> Tuple[Optional[datetime.datetime], Optional[datetime.datetime]]:
    """(claimed signing time /M, timestamp time) of ``field`` in ``document``:
    the signature timestamp's for a signature, the token's own for a document
    timestamp; None where there is none."""
    from asn1crypto import cms

    engine_document = _pdfengine.open(document)
    signing_time = None
    for value in _pdfengine.signature_values(engine_document):
        if value.field == field:
            signing_time = pdf_date(value.value.get("/M"))
    timestamp_time = None
    for record in engine_document.signatures():
        if record.field != field:
            continue
        container = cms.ContentInfo.load(record.contents)
        token = container if record.kind == "/DocTimeStamp" else _signature_timestamp(container)
        if token is not None:
            timestamp_time = _token_time(token)
    return signing_time, timestamp_time
