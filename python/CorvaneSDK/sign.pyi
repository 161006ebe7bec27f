import asyncio as asyncio
import base64 as base64
import json as json
import os
from typing import Any, Optional, Tuple, Union

import requests as requests
from asn1crypto import x509 as x509
from requests.auth import HTTPBasicAuth as HTTPBasicAuth

from .CorvaneSign.corvane_certvalidator import ValidationContext as ValidationContext
from .CorvaneSign.corvane_certvalidator.registry import SimpleCertificateStore as SimpleCertificateStore
from .CorvaneSign.corvane_signature.pdf_utils.format import format_date as format_date
from .CorvaneSign.corvane_signature.pdf_utils.incremental_writer import (
    IncrementalPdfFileWriter as IncrementalPdfFileWriter,
)
from .CorvaneSign.corvane_signature.sign import fields as fields
from .CorvaneSign.corvane_signature.sign import signers as signers
from .CorvaneSign.corvane_signature.sign import timestamps as timestamps
from .CorvaneSign.corvane_signature.sign.signers.pdf_signer import (
    DSSContentSettings as DSSContentSettings,
    PdfTBSDocument as PdfTBSDocument,
)
from .service import decrypt_data as decrypt_data

_Path = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]", int]
_Outcome = Tuple[bool, Any]

BYTES_RESERVED: int
DUMMY_HTTP_TS: str
CRVN_DOMAIN_URL: str

def crvn_request_certificate_info(
    api_token: str, tenant_id: Any, user_id: Any, pki: Any, digest_b64: str
) -> _Outcome: ...
def crvn_request_user_info(api_token: str, tenant_id: Any, user_id: Any, email: Any) -> _Outcome: ...
async def prep_document(input_file: _Path, field_name: str, reason: str) -> Tuple[Any, Any]: ...
async def proceed_with_signing(
    input_file: _Path,
    field_name: str,
    prep_digest: Any,
    output_handle: Any,
    signature: bytes,
    certificate: x509.Certificate,
    timestamp_url: str,
    timestamp_username: Optional[str],
    timestamp_password: Optional[str],
) -> None: ...
async def full_procedure(
    input_file: _Path, output_file: _Path, api_token: str, tenant_id: Any, pki: Any,
    user_id: Any, email: Optional[str],
) -> None: ...
async def full_procedure_test(
    input_file: _Path, output_file: _Path, api_token: str, tenant_id: Any, pki: Any,
    user_id: Any, email: Optional[str],
) -> None: ...
def sign_crvn(
    input_file: _Path, output_file: _Path, api_token: str, tenant_id: Any, pki: Any,
    user_id: Any = None, email: Optional[str] = None,
) -> None: ...
def sign_test(
    input_file: _Path, output_file: _Path, api_token: str, tenant_id: Any, pki: Any,
    user_id: Any = None, email: Optional[str] = None,
) -> None: ...
