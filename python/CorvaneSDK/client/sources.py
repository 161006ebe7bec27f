"""What the Client signs and where the result goes."""

from __future__ import annotations

import builtins
import io
import os
from typing import IO, Any, BinaryIO, List, Union

from .errors import PdfError

__all__ = ["Source", "Destination", "SourceDocument", "source_for", "check_destination", "SourceOpener"]

# A path, the document's bytes, or a binary file object to read it from.
Source = Union[str, "os.PathLike[str]", bytes, bytearray, memoryview, BinaryIO]
# A path (replaced only once complete), a binary file object, or None for bytes.
Destination = Union[str, "os.PathLike[str]", BinaryIO, None]


class SourceDocument:
    """A document handed over in memory (never taken for a path)."""

    __slots__ = ("data",)

    def __init__(self, data: bytes) -> None:
        self.data = data

    def __repr__(self) -> str:
        return "<document of %d bytes>" % len(self.data)


def source_for(source: Source) -> Union[str, SourceDocument]:
    """The path, or the document read into memory (a file object is read now, not closed)."""
    if isinstance(source, (bytes, bytearray, memoryview)):
        return SourceDocument(bytes(source))
    if isinstance(source, (str, os.PathLike)):
        path = os.fspath(source)
        if not isinstance(path, str):
            raise TypeError("source path must be a str or os.PathLike of str")
        try:
            with builtins.open(path, "rb"):
                pass
        except OSError as error:
            raise PdfError("cannot read %s: %s" % (path, error.strerror or error)) from None
        return path
    read = getattr(source, "read", None)
    if read is None:
        raise TypeError("source must be a path, bytes or a binary file object, not %s" % type(source).__name__)
    try:
        data = read()
    except OSError as error:
        raise PdfError("cannot read the source stream: %s" % (error.strerror or error)) from None
    if not isinstance(data, bytes):
        raise TypeError("the source stream must be opened in binary mode")
    return SourceDocument(data)


def check_destination(destination: Destination) -> Destination:
    if destination is None or isinstance(destination, (str, os.PathLike)) or hasattr(destination, "write"):
        return destination
    raise TypeError("destination must be a path, a binary file object or None, not %s"
                    % type(destination).__name__)


class SourceOpener:
    """``open`` for the procedures: an in-memory document opens as a new stream
    over its bytes; files it opened are closed by ``close_all`` after the run."""

    def __init__(self) -> None:
        self._opened: List[IO[Any]] = []

    def __call__(self, source: Any, mode: str = "r", *args: Any, **kwargs: Any) -> IO[Any]:
        if isinstance(source, SourceDocument):
            return io.BytesIO(source.data)
        opened = builtins.open(source, mode, *args, **kwargs)
        self._opened.append(opened)
        return opened

    def close_all(self) -> None:
        while self._opened:
            self._opened.pop().close()
