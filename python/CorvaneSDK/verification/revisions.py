"""A signed file revision by revision: where each incremental update ends,
the document as it was at each end, and what differs between a revision
and the final document.

The PDF engine (qpdf) does all the reading; this module only keeps the
documents it opened and decodes the JSON it reports.
"""

import json

from ..CorvaneSign.corvane_signature.pdf_utils import _pdfengine
from .pdf_values import reference

__all__ = ["RevisionHistory", "RevisionState", "GraphDifference", "Reach"]


class Reach:
    """How a revision reaches an object: as document content, as validation
    data (the catalog's /DSS), and from where ((number, generation, key path);
    (0, 0) is the trailer)."""

    __slots__ = ("content", "validation_data", "referrers")

    def __init__(self, content, validation_data, referrers):
        self.content = content
        self.validation_data = validation_data
        self.referrers = [(number, generation, path) for number, generation, path in referrers]

    @property
    def reached(self):
        return self.content or self.validation_data


class GraphDifference:
    """An object that a signed revision and a later one resolve or reach
    differently; ``before``/``after`` are None where it resolves to nothing."""

    __slots__ = ("ref", "before", "after", "same", "data_changed", "generation_conflict", "earlier", "later")

    def __init__(self, number, generation, before, after, same, data_changed, generation_conflict,
                 earlier, later):
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

    def __init__(self, document):
        self.document = document
        self._objects = {}
        self._trailer = None

    def object(self, ref):
        """The object ``ref`` ((number, generation) or "N G R") as JSON, or None."""
        if isinstance(ref, str):
            ref = reference(ref)
        if ref is None:
            return None
        if ref not in self._objects:
            found = _pdfengine.object_json(self.document, ref[0], ref[1])
            self._objects[ref] = json.loads(found) if found is not None else None
        return self._objects[ref]

    def resolve(self, value):
        """``value`` itself, or the object it refers to."""
        ref = reference(value)
        return self.object(ref) if ref is not None else value

    @property
    def trailer(self):
        if self._trailer is None:
            self._trailer = json.loads(_pdfengine.trailer_json(self.document))
        return self._trailer

    @property
    def root_ref(self):
        return reference(self.trailer.get("/Root"))

    @property
    def catalog(self):
        catalog = self.object(self.root_ref) if self.root_ref else None
        return catalog if isinstance(catalog, dict) else {}

    def signatures(self):
        return self.document.signatures()


class RevisionHistory:
    """Every revision of the PDF document ``data`` (bytes).

    Raises PdfReadError (PdfEncryptedError) when the engine cannot read it.
    """

    def __init__(self, data):
        self.data = bytes(data)
        self.document = _pdfengine.open(self.data)
        self.revisions = [tuple(item) for item in _pdfengine.revisions(self.document)]
        self._states = {}

    def __len__(self):
        return len(self.revisions)

    def end(self, index):
        return self.revisions[index][1]

    def index_ending_at(self, end):
        """The revision that ends at offset ``end``, or None."""
        for index, (_xref, revision_end) in enumerate(self.revisions):
            if revision_end == end:
                return index
        return None

    def state(self, index):
        if index not in self._states:
            end = self.end(index)
            document = self.document if end == len(self.data) else _pdfengine.open(self.data[:end])
            self._states[index] = RevisionState(document)
        return self._states[index]

    @property
    def final(self):
        """The document as a reader sees it: all of the file."""
        if "final" not in self._states:
            self._states["final"] = RevisionState(self.document)
        return self._states["final"]

    def differences(self, index):
        """The objects that revision ``index`` and the final document resolve or reach differently."""
        found = _pdfengine.graph_differences(self.state(index).document, self.document)
        return [GraphDifference(*item) for item in found]

    def trailing_bytes(self):
        """What follows the end of the last revision (normally nothing, or a line end)."""
        return self.data[self.end(len(self) - 1):]


def _load(text):
    return json.loads(text) if text is not None else None
