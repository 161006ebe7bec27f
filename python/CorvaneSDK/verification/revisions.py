"""A signed file revision by revision: where each incremental update ends,
the document as it was at each end, and what differs between a revision
and the final document.

The PDF engine (qpdf) does all the parsing. A file is read on demand and
never held whole: earlier revisions are views of the same bytes, and digests
read their byte ranges once, in chunks.
"""

from __future__ import annotations

import hashlib
from typing import Any, Dict, Iterator, List, Optional, Sequence, Tuple, Union

from .. import _pdfengine
from .._pdfengine_records import GraphDifference, Reach, Signature
from ..CorvaneSign.corvane_signature.pdf_utils.file_input import FileInput, digest_piece, engine_piece
from .pdf_values import reference

__all__ = ["RevisionHistory", "RevisionState", "GraphDifference", "Reach"]

# An object number and generation.
Ref = Tuple[int, int]
# A document's bytes: in memory, or a file read on demand.
Source = Union[bytes, FileInput]


class RevisionState:
    """The document as it was at the end of one revision."""

    def __init__(self, document: _pdfengine.Document) -> None:
        self.document = document
        self._objects: Dict[Ref, Any] = {}
        self._trailer: Optional[Dict[str, Any]] = None

    def object(self, ref: Union[Ref, str, None]) -> Any:
        """The object ``ref`` ((number, generation) or "N G R"), decoded, or None."""
        if isinstance(ref, str):
            ref = reference(ref)
        if ref is None:
            return None
        if ref not in self._objects:
            self._objects[ref] = _pdfengine.object_json(self.document, ref[0], ref[1])
        return self._objects[ref]

    def resolve(self, value: Any) -> Any:
        """``value`` itself, or the object it refers to."""
        ref = reference(value)
        return self.object(ref) if ref is not None else value

    @property
    def trailer(self) -> Dict[str, Any]:
        if self._trailer is None:
            self._trailer = _pdfengine.trailer_json(self.document)
        return self._trailer

    @property
    def root_ref(self) -> Optional[Ref]:
        return reference(self.trailer.get("/Root"))

    @property
    def catalog(self) -> Dict[str, Any]:
        catalog = self.object(self.root_ref) if self.root_ref else None
        return catalog if isinstance(catalog, dict) else {}

    def signatures(self) -> List[Signature]:
        return self.document.signatures()


class RevisionHistory:
    """Every revision of a PDF document: ``source`` is its bytes, or a
    FileInput that is read on demand.

    Raises PdfReadError (PdfEncryptedError) when the engine cannot read it.
    """

    def __init__(self, source: Union[bytes, bytearray, memoryview, FileInput]) -> None:
        self.source: Source = source if isinstance(source, FileInput) else bytes(source)
        self.size = len(self.source)
        self.document = _pdfengine.open((engine_piece(self.source),))
        self.revisions = _pdfengine.revisions(self.document)
        self._states: Dict[Union[int, str], RevisionState] = {}
        # Digests by (spans, algorithm): a range that several checks cover is read once.
        self._digests: Dict[Tuple[Tuple[Tuple[int, int], ...], str], bytes] = {}

    def __len__(self) -> int:
        return len(self.revisions)

    def end(self, index: int) -> int:
        return self.revisions[index].end

    def index_ending_at(self, end: int) -> Optional[int]:
        """The revision that ends at offset ``end``, or None."""
        for index, revision in enumerate(self.revisions):
            if revision.end == end:
                return index
        return None

    def state(self, index: int) -> RevisionState:
        if index not in self._states:
            end = self.end(index)
            document = self.document if end == self.size else _pdfengine.leading_document(self.document, end)
            self._states[index] = RevisionState(document)
        return self._states[index]

    @property
    def final(self) -> RevisionState:
        """The document as a reader sees it: all of the file."""
        if "final" not in self._states:
            self._states["final"] = RevisionState(self.document)
        return self._states["final"]

    def differences(self, index: int) -> List[GraphDifference]:
        """The objects that revision ``index`` and the final document resolve or reach differently."""
        return _pdfengine.graph_differences(self.state(index).document, self.document)

    def chunks(self, start: int, end: int) -> Iterator[memoryview]:
        """The bytes from ``start`` to ``end`` (clipped to the file), in chunks
        each valid until the next."""
        start, end, _ = slice(start, end).indices(self.size)
        if end <= start:
            return
        if isinstance(self.source, FileInput):
            yield from self.source.chunks(start, end)
            return
        with memoryview(self.source) as whole, whole[start:end] as part:
            yield part

    def covered(self, byte_range: Sequence[int]) -> CoveredBytes:
        """The bytes that ``byte_range`` covers."""
        return CoveredBytes(self, byte_range)

    def trailing_start(self) -> int:
        """Where the bytes after the end of the last revision begin (normally none, or a line end)."""
        return self.end(len(self) - 1)


class CoveredBytes:
    """The bytes a /ByteRange covers: (start, length) pairs, each clipped to
    the file as a slice would be. Read when asked for."""

    def __init__(self, history: RevisionHistory, byte_range: Sequence[int]) -> None:
        self.history = history
        self.spans = tuple(slice(byte_range[i], byte_range[i] + byte_range[i + 1]).indices(history.size)[:2]
                           for i in range(0, len(byte_range) - 1, 2))

    def digest(self, algorithm: str) -> bytes:
        """Their digest (hashlib ``algorithm``), read in chunks; ValueError for an unknown algorithm."""
        key = (self.spans, algorithm.lower())
        found = self.history._digests.get(key)
        if found is None:
            digest = hashlib.new(algorithm)
            for start, end in self.spans:
                if start < end:
                    digest_piece(digest, self.history.source, start, end)
            found = self.history._digests[key] = digest.digest()
        return found

    def read(self) -> bytes:
        """All of them, in memory: for signature algorithms that sign the bytes themselves."""
        return b"".join(bytes(chunk) for start, end in self.spans for chunk in self.history.chunks(start, end))
