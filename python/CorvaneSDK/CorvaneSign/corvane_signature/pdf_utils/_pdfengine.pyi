from typing import List, Optional, Sequence, Tuple, Union, final

from ..exceptions import PdfEncryptedError as PdfEncryptedError
from ..exceptions import PdfReadError as PdfReadError
from ..exceptions import PdfWriteError as PdfWriteError
from ..exceptions import SigningError as SigningError

MAX_BYTES_RESERVED: int

_VriEntry = Tuple[str, Sequence[bytes], Sequence[bytes], Sequence[bytes]]

@final
class Document:
    def length(self) -> int: ...
    def signatures(self) -> List[Tuple[str, Optional[str], Optional[str], Tuple[int, ...], bytes]]: ...
    def fields(self) -> List[Tuple[str, Optional[str], bool]]: ...
    def certification_permission(self) -> Optional[int]: ...
    def check_signature(
        self,
        field_name: str,
        subfilter: str,
        bytes_reserved: int,
        reason: Optional[str] = ...,
        signing_time: Optional[str] = ...,
        document_timestamp: bool = ...,
    ) -> None: ...
    def prepare_signature(
        self,
        field_name: str,
        subfilter: str,
        bytes_reserved: int,
        reason: Optional[str] = ...,
        signing_time: Optional[str] = ...,
        document_timestamp: bool = ...,
    ) -> Tuple[bytes, Tuple[int, int, int, int]]: ...
    def append_dss(
        self,
        certs: Sequence[bytes] = ...,
        ocsps: Sequence[bytes] = ...,
        crls: Sequence[bytes] = ...,
        vri: Optional[Sequence[_VriEntry]] = ...,
    ) -> bytes: ...
    def extend(self, update: bytes) -> None: ...

def open(pieces: Union[bytes, Sequence[Union[bytes, int]]]) -> Document: ...

# Read-only inspection, for verification reports. JSON is qpdf's (version 2).
def revisions(document: Document) -> List[Tuple[int, int]]: ...
# A reach: (as content, as validation data, [(referrer number, generation, key path)]),
# where referrer (0, 0) is the trailer.
_Reach = Tuple[bool, bool, List[Tuple[int, int, str]]]
# Objects an earlier revision and a later one (the same file, longer) resolve or reach
# differently: (number, generation, JSON before, JSON after, same object, stream data
# changed, generation conflict, reach before, reach after).
def graph_differences(
    earlier: Document, later: Document
) -> List[Tuple[int, int, Optional[str], Optional[str], bool, bool, bool, _Reach, _Reach]]: ...
def object_json(document: Document, number: int, generation: int) -> Optional[str]: ...
def trailer_json(document: Document) -> str: ...
def stream_data(document: Document, number: int, generation: int) -> bytes: ...
def signature_values(document: Document) -> List[Tuple[str, str]]: ...
