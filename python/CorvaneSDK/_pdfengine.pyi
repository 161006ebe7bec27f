from typing import Any, Dict, List, Optional, Sequence, Tuple, Union, final

from ._pdfengine_records import Field, GraphDifference, PreparedSignature, Revision, Signature, SignatureValue

from .CorvaneSign.corvane_signature.exceptions import PdfEncryptedError as PdfEncryptedError
from .CorvaneSign.corvane_signature.exceptions import PdfReadError as PdfReadError
from .CorvaneSign.corvane_signature.exceptions import PdfWriteError as PdfWriteError
from .CorvaneSign.corvane_signature.exceptions import SigningError as SigningError

MAX_BYTES_RESERVED: int

_VriEntry = Tuple[str, Sequence[bytes], Sequence[bytes], Sequence[bytes]]
# (page from 1, (x1, y1, x2, y2) on the page as shown, lines of text)
_Appearance = Tuple[int, Tuple[float, float, float, float], Sequence[str]]

@final
class Document:
    def length(self) -> int: ...
    def signatures(self) -> List[Signature]: ...
    def fields(self) -> List[Field]: ...
    def certification_permission(self) -> Optional[int]: ...
    def check_signature(
        self,
        field_name: str,
        subfilter: str,
        bytes_reserved: int,
        reason: Optional[str] = ...,
        signing_time: Optional[str] = ...,
        document_timestamp: bool = ...,
        location: Optional[str] = ...,
        contact_info: Optional[str] = ...,
        docmdp_permissions: Optional[int] = ...,
        appearance: Optional[_Appearance] = ...,
    ) -> None: ...
    def prepare_signature(
        self,
        field_name: str,
        subfilter: str,
        bytes_reserved: int,
        reason: Optional[str] = ...,
        signing_time: Optional[str] = ...,
        document_timestamp: bool = ...,
        location: Optional[str] = ...,
        contact_info: Optional[str] = ...,
        docmdp_permissions: Optional[int] = ...,
        appearance: Optional[_Appearance] = ...,
    ) -> PreparedSignature: ...
    def append_dss(
        self,
        certs: Sequence[bytes] = ...,
        ocsps: Sequence[bytes] = ...,
        crls: Sequence[bytes] = ...,
        vri: Optional[Sequence[_VriEntry]] = ...,
    ) -> bytes: ...
    def extend(self, update: bytes) -> None: ...

def open(pieces: Union[bytes, Sequence[Union[bytes, int]]]) -> Document: ...

# Each piece: bytes, or (file descriptor, length) for the file's first length bytes.
def join(pieces: Sequence[Union[bytes, Tuple[int, int]]]) -> bytes: ...

# Read-only inspection, for verification reports: records of ._pdfengine_records,
# and objects decoded from qpdf's JSON (version 2).
def revisions(document: Document) -> List[Revision]: ...
def leading_document(document: Document, end: int) -> Document: ...
def graph_differences(earlier: Document, later: Document) -> List[GraphDifference]: ...
def object_json(document: Document, number: int, generation: int) -> Any: ...
def trailer_json(document: Document) -> Dict[str, Any]: ...
def stream_data(document: Document, number: int, generation: int) -> bytes: ...
def signature_values(document: Document) -> List[SignatureValue]: ...
