"""Incremental updates of an existing PDF document.

The writer reads the whole input once and hands it to the PDF engine, which
reads it in place; every change the library makes is appended after these
bytes as an incremental update, so the original bytes are never rewritten.
"""

from ..exceptions import PdfReadError
from . import _pdfengine

__all__ = ["IncrementalPdfFileWriter", "free_field_name"]


def free_field_name(document, prefix):
    """``prefix`` and the smallest number that names no field of the engine ``document``."""
    taken = {name for name, _type, _value in document.fields()}
    number = 1
    while "%s%d" % (prefix, number) in taken:
        number += 1
    return "%s%d" % (prefix, number)


def _read_input(stream):
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


class IncrementalPdfFileWriter:
    """Writer of incremental updates to the PDF document read from ``input_stream``.

    Raises PdfReadError (PdfEncryptedError for documents that need a password) when the
    input is not a PDF document the library can extend.
    """

    def __init__(self, input_stream):
        self.input_stream = input_stream
        self.input_bytes = _read_input(input_stream)
        self.document = _pdfengine.open(self.input_bytes)

    def field_names(self):
        """Fully qualified names of the document's form fields."""
        return [name for name, _type, _value in self.document.fields()]

    def free_field_name(self, prefix):
        """``prefix`` followed by the smallest number that names no field yet."""
        return free_field_name(self.document, prefix)
