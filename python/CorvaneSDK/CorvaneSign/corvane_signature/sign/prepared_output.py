"""The output stream of a signature preparation: an io.BytesIO holding the
input followed by the prepared update.

The update is laid out when the signature's byte range is first needed; the
stream is made on first use, in one engine call that copies every piece into
a new buffer without the interpreter lock, and the digest of the signed byte
ranges is taken from that buffer in one hashlib call per range.  A
preparation whose output and digest are never used (the completion phase
prepares the document again only for its post-sign instructions) never lays
the update out, copies or hashes the document.

The stream also tracks what has been written to it since, so that embedding
the signature needs no second digest of the untouched document, and a
document timestamp over the final file continues the digest of its
untouched beginning instead of hashing it again.

It keeps the PDF engine's document of its content too, as long as nothing but
the signature container and the engine's own updates were written to it:
the updates after the signature extend that document instead of parsing the
output again.
"""

from __future__ import annotations

import hashlib
import io
from typing import TYPE_CHECKING, Any, Callable, Iterable, Optional, Sequence, SupportsIndex, Tuple

from .... import _pdfengine
from ..pdf_utils.file_input import Piece, join_pieces
from .byte_range_digest import digest_byte_ranges

if TYPE_CHECKING:
    from _typeshed import ReadableBuffer

__all__ = ["PreparedOutput", "Engine"]


class Engine:
    """The engine document of a prepared output, extended with its update,
    and what must stay alive with it (the parse it was lent from)."""

    def __init__(self, document: _pdfengine.Document, keep: object = None) -> None:
        self.document = document
        self._keep = keep


# What lays the document out: its pieces, the signature's byte range over
# them, and the engine document that went on from the layout (or None).
LayOut = Callable[[], Tuple[Sequence[Piece], Sequence[int], Optional[Engine]]]

_READING = ("getvalue", "read", "read1", "readinto", "readinto1", "readline", "readlines", "seek", "tell",
            "__iter__", "__next__")


class PreparedOutput(io.BytesIO):
    """The document ``lay_out()`` describes, once needed: it returns the
    pieces (bytes-like objects and FileInputs) to join and the byte range of
    the signature over them (starting at offset 0)."""

    def __init__(self, lay_out: LayOut) -> None:
        super().__init__()
        self._lay_out: Optional[LayOut] = lay_out
        self._pieces: Tuple[Piece, ...] = ()  # laid out with the byte range, dropped once copied
        self._byte_range: Optional[Tuple[int, ...]] = None
        self._digest: Optional[bytes] = None
        self._prefix: Optional[Tuple[int, hashlib._Hash]] = None  # (length, hash of the first length bytes as made)
        self._changed = False
        self._intact = 0          # the bytes before this offset are as made (read once made)
        self._engine: Optional[Engine] = None  # while in step with the content

    @property
    def unchanged(self) -> bool:
        """True until the content is written to, truncated or exported writable."""
        return not self._changed

    @property
    def byte_range(self) -> Tuple[int, ...]:
        """The signature's byte range over this output."""
        if self._byte_range is None:
            assert self._lay_out is not None, "laid out once, with the byte range"
            pieces, byte_range, self._engine = self._lay_out()
            self._pieces, self._byte_range, self._lay_out = tuple(pieces), tuple(byte_range), None
        return self._byte_range

    @property
    def digest(self) -> bytes:
        """SHA-256 of the byte range this output was prepared for, as made."""
        if self._digest is None and self.closed:
            byte_range = self.byte_range  # lays the pieces out when nothing has yet
            self._digest = digest_byte_ranges(self._pieces, byte_range)
            self._pieces = ()
        self._make()
        assert self._digest is not None, "made, or taken above when closed"
        return self._digest

    @property
    def hashed_prefix(self) -> Optional[Tuple[int, hashlib._Hash]]:
        """(length, hashlib object) for the first length bytes, when they are
        still as they were made and hashed; else None."""
        if self._prefix is None or self._intact < self._prefix[0]:
            return None
        return self._prefix

    @property
    def engine_document(self) -> Optional[_pdfengine.Document]:
        """The engine's document of this content (its signature container
        aside), or None once anything else was written to it."""
        if self._engine is None or self.closed:
            return None
        self._make()
        with io.BytesIO.getbuffer(self) as view:
            length = view.nbytes
        if self._engine.document.length() != length:
            self._engine = None
            return None
        return self._engine.document

    def append_engine_update(self, update: bytes) -> None:
        """Appends ``update``, which the engine document built and went on from."""
        engine = self._engine
        io.BytesIO.seek(self, 0, 2)
        self.write(update)
        self._engine = engine

    def close(self) -> None:
        # Also called when the stream is collected: closing needs no content.
        io.BytesIO.close(self)

    def _make(self) -> None:
        if self._digest is not None or self.closed:
            return
        byte_range = self.byte_range
        content = join_pieces(self._pieces)
        prefix_length = min(byte_range[1] if byte_range[0] == 0 else 0, len(content))
        # One digest call over the whole beginning: the lock is handed off once, not per chunk.
        with memoryview(content) as whole, whole[:prefix_length] as beginning:
            head = hashlib.sha256(beginning)
        prefix = (prefix_length, head)
        self._digest = digest_byte_ranges([content], byte_range, prefix)
        self._prefix = prefix
        # The stream takes the bytes object as its buffer; once it holds the
        # only reference, writing to it or exporting it copies nothing.
        io.BytesIO.__init__(self, content)
        self._intact = len(content)
        del content
        self._pieces = ()

    def _touched_from(self, offset: int) -> None:
        self._changed = True
        self._intact = min(self._intact, offset)

    def write(self, data: ReadableBuffer) -> int:
        self._make()
        start = io.BytesIO.tell(self)
        self._touched_from(start)
        if self._engine is not None:
            with memoryview(data) as view:
                end = start + view.nbytes
            # Only the signature container goes where the engine knows zeros.
            if not (self.byte_range[1] < start and end < self.byte_range[2]):
                self._engine = None
        return io.BytesIO.write(self, data)

    def writelines(self, lines: Iterable[ReadableBuffer]) -> None:
        self._make()
        self._engine = None
        self._touched_from(io.BytesIO.tell(self))
        return io.BytesIO.writelines(self, lines)

    def truncate(self, size: Optional[int] = None) -> int:
        self._make()
        self._engine = None
        self._touched_from(io.BytesIO.tell(self) if size is None else size)
        return io.BytesIO.truncate(self, size)

    def getbuffer(self) -> memoryview:
        self._make()
        self._engine = None
        self._touched_from(0)  # the view can write anywhere
        return io.BytesIO.getbuffer(self)

    def __reduce_ex__(self, protocol: SupportsIndex) -> Tuple[Callable[[bytes, int], io.BytesIO], Tuple[bytes, int]]:
        # Copies and pickles are plain io.BytesIO objects with the same content and position.
        return _bytes_io, (self.getvalue(), self.tell())


def _bytes_io(content: bytes, position: int) -> io.BytesIO:
    stream = io.BytesIO(content)
    stream.seek(position)
    return stream


def _made_first(name: str) -> Callable[..., Any]:
    method = getattr(io.BytesIO, name)

    def made_first(self: PreparedOutput, *args: Any, **kwargs: Any) -> Any:
        self._make()
        return method(self, *args, **kwargs)

    made_first.__name__ = name
    made_first.__doc__ = method.__doc__
    return made_first


for _name in _READING:
    setattr(PreparedOutput, _name, _made_first(_name))
