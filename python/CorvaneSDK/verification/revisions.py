"""A signed file revision by revision: where each incremental update ends,
the document as it was at each end, and what differs between a revision
and the final document.

The PDF engine (qpdf) does all the reading; this module only keeps the
documents it opened and decodes the JSON it reports.
"""

from __future__ import annotations

import json
from typing import Any, Dict, List, Optional, Sequence, Tuple, Union

from .. import _pdfengine
from .pdf_values import reference

__all__ = ["RevisionHistory", "RevisionState", "GraphDifference", "Reach"]

# An object number and generation.
Ref = Tuple[int, int]
# How a revision reaches an object, as the engine reports it (see Reach).
_ReachRecord = Tuple[bool, bool, Sequence[Tuple[int, int, str]]]


class Reach:
    """How a revision reaches an object: as document content, as validation
    data (the catalog's /DSS), and from where ((number, generation, key path);
    (0, 0) is the trailer)."""

    __slots__ = ("content", "validation_data", "referrers")

    def __init__(self, content: bool, validation_data: bool,
                 referrers: Sequence[Tuple[int, int, str]]) -> None:
        self.content = content
        self.validation_data = validation_data
        self.referrers = [(number, generation, path) for number, generation, path in referrers]

    @property
    def reached(self) -> bool:
        return self.content or self.validation_data


class GraphDifference:
    """An object that a signed revision and a later one resolve or reach
    differently; ``before``/``after`` are None where it resolves to nothing."""

    __slots__ = ("ref", "before", "after", "same", "data_changed", "generation_conflict", "earlier", "later")

    def __init__(self, number: int, generation: int, before: Optional[str], after: Optional[str], same: bool,
                 data_changed: bool, generation_conflict: bool, earlier: _ReachRecord,
                 later: _ReachRecord) -> None:
        self.ref = (number, generation)
        self.before = _load(before)
        self.after = _load(after)
        self.same = same
        self.data_changed = data_changed
        self.generation_conflict = generation_conflict
        self.earlier = Reach(*earlier)
        self.later = Reach(*later)


class RevisionState:
    """The document as it was at the end of one revision."""

    def __init__(self, document: _pdfengine.Document) -> None:
        self.document = document
        self._objects: Dict[Ref, Any] = {}
        self._trailer: Optional[Dict[str, Any]] = None

    def object(self, ref: Union[Ref, str, None]) -> Any:
        """The object ``ref`` ((number, generation) or "N G R") as JSON, or None."""
        if isinstance(ref, str):
            ref = reference(ref)
        if ref is None:
            return None
        if ref not in self._objects:
            found = _pdfengine.object_json(self.document, ref[0], ref[1])
            self._objects[ref] = json.loads(found) if found is not None else None
        return self._objects[ref]

    def resolve(self, value: Any) -> Any:
        """``value`` itself, or the object it refers to."""
        ref = reference(value)
        return self.object(ref) if ref is not None else value

    @property
    def trailer(self) -> Dict[str, Any]:
        if self._trailer is None:
            self._trailer = json.loads(_pdfengine.trailer_json(self.document))
        return self._trailer

    @property
    def root_ref(self) -> Optional[Ref]:
        return reference(self.trailer.get("/Root"))

    @property
    def catalog(self) -> Dict[str, Any]:
        catalog = self.object(self.root_ref) if self.root_ref else None
        return catalog if isinstance(catalog, dict) else {}

    def signatures(self) -> List[Tuple[str, Optional[str], Optional[str], Tuple[int, ...], bytes]]:
        return self.document.signatures()


class RevisionHistory:
    """Every revision of the PDF document ``data`` (bytes).

    Raises PdfReadError (PdfEncryptedError) when the engine cannot read it.
    """

    def __init__(self, data: bytes) -> None:
        self.data = bytes(data)
        self.document = _pdfengine.open(self.data)
        self.revisions: List[Tuple[int, ...]] = [tuple(item) for item in _pdfengine.revisions(self.document)]
        self._states: Dict[Union[int, str], RevisionState] = {}

    def __len__(self) -> int:
        return len(self.revisions)

    def end(self, index: int) -> int:
        return self.revisions[index][1]

    def index_ending_at(self, end: int) -> Optional[int]:
        """The revision that ends at offset ``end``, or None."""
        for index, (_xref, revision_end) in enumerate(self.revisions):
            if revision_end == end:
                return index
        return None

    def state(self, index: int) -> RevisionState:
        if index not in self._states:
            end = self.end(index)
            document = self.document if end == len(self.data) else _pdfengine.open(self.data[:end])
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
        found = _pdfengine.graph_differences(self.state(index).document, self.document)
        return [GraphDifference(*item) for item in found]

    def trailing_bytes(self) -> bytes:
        """What follows the end of the last revision (normally nothing, or a line end)."""
        return self.data[self.end(len(self) - 1):]


def _load(text: Optional[str]) -> Any:
    return json.loads(text) if text is not None else None
