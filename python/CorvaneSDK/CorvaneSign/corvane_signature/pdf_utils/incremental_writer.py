"""Incremental updates of an existing PDF document.

The writer hands its input to the PDF engine, which reads it in place: an
input file is read on demand (only what parsing needs, until the document is
copied or digested), any other stream is read whole once.  Every change the
library makes is appended after these bytes as an incremental update, so the
original bytes are never rewritten.
"""

from __future__ import annotations

import io
import os
import stat
import threading
import weakref
from typing import Any, List, Optional, Set, Tuple, Union

from ..exceptions import PdfReadError
from .... import _pdfengine
from .file_input import FileInput, engine_piece, regular_file_descriptor

__all__ = ["IncrementalPdfFileWriter", "free_field_name"]


def free_field_name(document: _pdfengine.Document, prefix: str) -> str:
    """``prefix`` and the smallest number that names no field of the engine ``document``."""
    return _free_name([field.name for field in document.fields()], prefix)


def _free_name(names: List[str], prefix: str) -> str:
    taken = set(names)
    number = 1
    while "%s%d" % (prefix, number) in taken:
        number += 1
    return "%s%d" % (prefix, number)


def _file_kind(stream: Any) -> str | None:
    """What kind of file ``stream`` reads from: None for a stream without a descriptor."""
    try:
        mode = os.fstat(stream.fileno()).st_mode
    except (AttributeError, OSError, ValueError):  # io.UnsupportedOperation is both
        return None
    if stat.S_ISREG(mode):
        return "regular file"
    for test, kind in ((stat.S_ISFIFO, "pipe"), (stat.S_ISCHR, "character device"), (stat.S_ISSOCK, "socket"),
                       (stat.S_ISBLK, "block device"), (stat.S_ISDIR, "directory")):
        if test(mode):
            return kind
    return "special file"


def _input_source(stream: Any) -> Union[FileInput, bytes]:
    """The input as a FileInput (a readable regular file) or as bytes."""
    if isinstance(stream, io.TextIOBase):
        raise PdfReadError("the PDF input stream is open in text mode; open it in binary mode ('rb')")
    kind = _file_kind(stream)
    if kind is not None and kind != "regular file":
        raise PdfReadError("the PDF input is a %s, not a regular file: it could be read only once, and "
                           "perhaps without end; save the document to a file first" % kind)
    readable = getattr(stream, "readable", None)
    if readable is not None and readable():
        descriptor = regular_file_descriptor(stream)
        if descriptor is not None:
            return FileInput(descriptor)
    return _read_input(stream)


def _read_input(stream: Any) -> bytes:
    if isinstance(stream, bytes):
        return stream
    if isinstance(stream, (bytearray, memoryview)):
        return bytes(stream)
    if not hasattr(stream, "read"):
        raise TypeError("IncrementalPdfFileWriter needs a binary stream or bytes, not %s"
                        % type(stream).__name__)
    seekable = getattr(stream, "seekable", None)
    if seekable is not None and seekable():
        stream.seek(0)
    data = stream.read()
    if isinstance(data, str):
        raise PdfReadError("the PDF input stream is open in text mode; open it in binary mode ('rb')")
    return bytes(data)


class _Parse:
    """One parse of an input: the engine document, the form fields of the
    input's own revision, and the signature requests it accepted.

    The document is lent out once to build updates on (it then goes on from
    the input's revision to later ones); anyone after that parses afresh.
    """

    def __init__(self, source: Union[FileInput, bytes]) -> None:
        self.document = _pdfengine.open([engine_piece(source)])
        self.fields = self.document.fields()
        self.accepted: Set[Tuple[Any, ...]] = set()
        self._lent = False
        self._lock = threading.Lock()

    @property
    def lent(self) -> bool:
        return self._lent

    def lend(self) -> bool:
        """True the first time only: the caller may then change the document."""
        with self._lock:
            lent, self._lent = self._lent, True
            return not lent

    def check(self, source: Union[FileInput, bytes], *request: Any, **options: Any) -> None:
        """check_signature on the input's own revision."""
        with self._lock:  # not lent meanwhile
            if not self._lent:
                self.document.check_signature(*request, **options)
                return
        _pdfengine.open([engine_piece(source)]).check_signature(*request, **options)


# Parses of unchanged input files, by file identity, while a writer or a
# prepared output holds them: the completion phase of a signing opens the
# input the preparation phase opened, and finds it parsed already.
_parses: "weakref.WeakValueDictionary[Tuple[int, ...], _Parse]" = weakref.WeakValueDictionary()
_parses_lock = threading.Lock()


def _parse_of(source: Union[FileInput, bytes]) -> _Parse:
    if not isinstance(source, FileInput):
        return _Parse(source)
    key = source.identity
    with _parses_lock:
        parse = _parses.get(key)
    if parse is None:
        parse = _Parse(source)
        with _parses_lock:
            parse = _parses.setdefault(key, parse)
    return parse


class IncrementalPdfFileWriter:
    """Writer of incremental updates to the PDF document read from ``input_stream``.

    ``input_stream`` is bytes, a binary stream in memory, or a binary file. A file
    must be a regular file: a pipe, a device (``/dev/zero``, a terminal) or a socket
    is refused with PdfReadError before anything is read, because the document is
    read more than once (to lay out, digest and copy it) and such a file can be read
    only once, and perhaps without end.

    Writers of the same unchanged file share one parse of it while any of
    them (or an output prepared from one) is alive.

    Raises PdfReadError (PdfEncryptedError for documents that need a password) when the
    input is not a PDF document the library can extend.
    """

    def __init__(self, input_stream: Any) -> None:
        self.input_stream = input_stream
        # The original document: bytes, or a FileInput read on demand.
        self.source = _input_source(input_stream)
        self._parse = _parse_of(self.source)

    @property
    def document(self) -> _pdfengine.Document:
        """The engine's document of the input, for reading."""
        return self._parse.document if not self._parse.lent else _pdfengine.open([engine_piece(self.source)])

    def take_document(self) -> _pdfengine.Document:
        """An engine document of the input that the caller may extend with
        updates (the shared parse the first time, a new one afterwards)."""
        if self._parse.lend():
            return self._parse.document
        return _pdfengine.open([engine_piece(self.source)])

    @property
    def parse(self) -> _Parse:
        """The parse this writer shares; whoever goes on from the document keeps it alive."""
        return self._parse

    def check_input_unchanged(self) -> None:
        """Raises PdfReadError when the input file changed since the writer opened it."""
        if isinstance(self.source, FileInput):
            self.source.check_unchanged()

    def check_signature(self, field_name: str, subfilter: str, bytes_reserved: int, reason: Optional[str] = None,
                        signing_time: Optional[str] = None, document_timestamp: bool = False,
                        **options: Any) -> None:
        """Raises what the engine refuses of this signature on the input's
        revision; a plain request already accepted for the same field is not
        checked again (``options``, such as an appearance, are always checked)."""
        key = (field_name, subfilter, bool(document_timestamp))
        # What else the engine checks depends on the arguments alone.
        plain = isinstance(reason, (str, type(None))) and isinstance(signing_time, (str, type(None))) \
            and type(bytes_reserved) is int and 0 < bytes_reserved <= _pdfengine.MAX_BYTES_RESERVED \
            and all(value is None for value in options.values())
        if plain and key in self._parse.accepted:
            return
        self._parse.check(self.source, field_name, subfilter, bytes_reserved, reason=reason,
                          signing_time=signing_time, document_timestamp=document_timestamp, **options)
        self._parse.accepted.add(key)

    def field_names(self) -> List[str]:
        """Fully qualified names of the document's form fields."""
        return [field.name for field in self._parse.fields]

    def free_field_name(self, prefix: str) -> str:
        """``prefix`` followed by the smallest number that names no field yet."""
        return _free_name(self.field_names(), prefix)
