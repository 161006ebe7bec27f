import json as json
import os
from typing import Any, Optional, Tuple, Union

import requests as requests
from requests.auth import HTTPBasicAuth as HTTPBasicAuth

from .CorvaneSign.corvane_certvalidator import ValidationContext as ValidationContext
from .CorvaneSign.corvane_signature.pdf_utils.incremental_writer import (
    IncrementalPdfFileWriter as IncrementalPdfFileWriter,
)
from .CorvaneSign.corvane_signature.sign import signers as signers
from .CorvaneSign.corvane_signature.sign import timestamps as timestamps
from .service import decrypt_data as decrypt_data

_Path = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]", int]

BYTES_RESERVED: int
DUMMY_HTTP_TS: str
CRVN_DOMAIN_URL: str

def crvn_request_timestamp_info(api_token: str, tenant_id: Any) -> Tuple[bool, Any]: ...
def timestamp_crvn(input_file: _Path, output_file: _Path, api_token: str, tenant_id: Any) -> None: ...
def timestamp_test(
    input_file: _Path, output_file: _Path, api_token: Optional[str], tenant_id: Any
) -> None: ...
