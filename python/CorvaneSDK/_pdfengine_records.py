"""The records the PDF engine's inspection functions return (CorvaneSDK._pdfengine).

They are named tuples: fields by name, and unpacking in order still works.
Objects appear decoded from qpdf's JSON (version 2): a dictionary is a dict of
"/Name" keys, a reference is the text "N G R", a stream is {"dict": {...}}.
"""

from __future__ import annotations

from typing import Any, List, NamedTuple, Optional, Tuple

__all__ = ["Signature", "Field", "PreparedSignature", "Revision", "Referrer", "Reach", "GraphDifference",
           "SignatureValue"]


class Signature(NamedTuple):
    """A signature or document timestamp of the document (``Document.signatures()``)."""

    field: str
    """The signed field's full name."""
    kind: Optional[str]
    """The signature dictionary's /Type: "/Sig" or "/DocTimeStamp" (None when missing)."""
    subfilter: Optional[str]
    """Its /SubFilter, e.g. "/ETSI.CAdES.detached"."""
    byte_range: Tuple[int, ...]
    """Its /ByteRange as written: offset and length pairs."""
    contents: bytes
    """Its /Contents: the signature container, with the zero padding."""


class Field(NamedTuple):
    """A form field of the document (``Document.fields()``)."""

    name: str
    """The field's full name."""
    type: Optional[str]
    """Its field type (/FT): "/Sig", "/Tx", ... (None when it has none)."""
    signed: bool
    """Whether it has a value (for a signature field: is signed)."""


class PreparedSignature(NamedTuple):
    """An incremental update laid out for a signature (``Document.prepare_signature()``)."""

    update: bytes
    """The update's bytes, with room for the signature container in /Contents."""
    byte_range: Tuple[int, int, int, int]
    """What the signature covers: everything but the /Contents value."""


class Revision(NamedTuple):
    """One revision of a file: the original, or an incremental update."""

    xref_offset: int
    """Offset of its cross-reference section."""
    end: int
    """Offset just after it (after its %%EOF and line end): the file as it was then ends here."""


class Referrer(NamedTuple):
    """Where a reference to an object was found."""

    number: int
    """Object number of the referring object; 0 (with generation 0) is the trailer."""
    generation: int
    path: str
    """Key path inside the referrer, e.g. "/Root" or "/Annots"."""


class Reach(NamedTuple):
    """How one revision reaches an object from its trailer."""

    content: bool
    """Reached as document content (anything but the catalog's /DSS)."""
    validation_data: bool
    """Reached through the catalog's /DSS."""
    referrers: List[Referrer]
    """Some of the places that refer to it (a bounded number)."""

    @property
    def reached(self) -> bool:
        return self.content or self.validation_data


class GraphDifference(NamedTuple):
    """An object that an earlier revision and a later one resolve or reach differently."""

    number: int
    generation: int
    before: Any
    """The object in the earlier revision, decoded; None where it resolves to nothing."""
    after: Any
    """The object in the later revision, decoded; None where it resolves to nothing."""
    same: bool
    """The later revision holds the same object (perhaps written again unchanged)."""
    data_changed: bool
    """Both are streams and their raw data differs."""
    generation_conflict: bool
    """The later revision's cross-reference data gives the number two generations."""
    earlier: Reach
    later: Reach

    @property
    def ref(self) -> Tuple[int, int]:
        return self.number, self.generation


class SignatureValue(NamedTuple):
    """The signature dictionary (the /V) of a signed form field."""

    field: str
    """The field's full name."""
    value: Any
    """The dictionary, decoded."""
