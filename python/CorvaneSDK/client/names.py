"""The Client's table of names: the collaborators the shared signing and
timestamping procedures look up, given time-outs, retries and typed errors.

The fixed modules hand the same procedures their own namespace instead.
"""

from __future__ import annotations

import base64
import functools
import json
import types
from typing import Any, Dict, Optional

from asn1crypto import x509
from requests.auth import HTTPBasicAuth

from .. import _procedures
from ..CorvaneSign.corvane_certvalidator import ValidationContext
from ..CorvaneSign.corvane_certvalidator.registry import SimpleCertificateStore
from ..CorvaneSign.corvane_signature.pdf_utils.format import format_date
from ..CorvaneSign.corvane_signature.pdf_utils.incremental_writer import IncrementalPdfFileWriter
from ..CorvaneSign.corvane_signature.sign import fields, signers, timestamps
from ..CorvaneSign.corvane_signature.sign.appearance import SignatureAppearance
from ..CorvaneSign.corvane_signature.sign.signers.pdf_signer import DSSContentSettings, PdfTBSDocument
from ..service import decrypt_data
from .errors import OutputError
from .service_http import ServiceConnection, retrying_session
from .sources import SourceOpener

__all__ = ["signing_table", "timestamping_table", "BYTES_RESERVED"]

# Room for the signature container, as the modules reserve it.
BYTES_RESERVED = 30842


def _output_failure(destination: Any, error: BaseException) -> OutputError:
    where = "the output stream" if hasattr(destination, "write") else str(destination)
    reason = getattr(error, "strerror", None) or str(error) or type(error).__name__
    return OutputError("cannot write %s: %s" % (where, reason), None if hasattr(destination, "write") else where)


def _library_network(timeout: float, retries: int) -> Dict[str, Any]:
    """Time-out and one retrying session, so one connection per host, for the
    library's own requests of a call: timestamps, OCSP, CRLs, CA certificates."""
    session = retrying_session(retries)
    return {
        "sessions": [session],
        "timestamps": types.SimpleNamespace(
            HTTPTimeStamper=functools.partial(timestamps.HTTPTimeStamper, timeout=timeout, session=session)),
        "ValidationContext": functools.partial(ValidationContext, timeout=timeout, session=session),
    }


def _common(connection: ServiceConnection, timeout: float, retries: int, tsa_url: Optional[str]) -> Dict[str, Any]:
    table: Dict[str, Any] = {
        "base64": base64, "json": json, "x509": x509, "HTTPBasicAuth": HTTPBasicAuth,
        "decrypt_data": decrypt_data, "signers": signers, "fields": fields,
        "IncrementalPdfFileWriter": IncrementalPdfFileWriter, "SimpleCertificateStore": SimpleCertificateStore,
        "PdfTBSDocument": PdfTBSDocument, "DSSContentSettings": DSSContentSettings, "format_date": format_date,
        "open": SourceOpener(), "bytes": bytes, "BYTES_RESERVED": BYTES_RESERVED,
        "DUMMY_HTTP_TS": tsa_url, "output_failure": _output_failure,
        "crvn_request_user_info": connection.user_info,
        "crvn_request_certificate_info": connection.certificate_info,
        "crvn_request_timestamp_info": connection.timestamp_info,
    }
    table.update(_library_network(timeout, retries))
    return table


def signing_table(connection: ServiceConnection, options: Dict[str, Any], timeout: float, retries: int,
                  tsa_url: Optional[str]) -> Dict[str, Any]:
    table = _common(connection, timeout, retries, tsa_url)
    table["prep_document"] = functools.partial(_procedures.prep_document, table, options)
    table["proceed_with_signing"] = functools.partial(_procedures.proceed_with_signing, table, options)
    table["SignatureAppearance"] = SignatureAppearance
    return table


def timestamping_table(connection: ServiceConnection, timeout: float, retries: int,
                       tsa_url: Optional[str]) -> Dict[str, Any]:
    return _common(connection, timeout, retries, tsa_url)
