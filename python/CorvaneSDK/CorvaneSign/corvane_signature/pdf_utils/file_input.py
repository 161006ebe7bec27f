"""A PDF input file read on demand, never whole into memory.

The PDF engine reads only the blocks it parses; digests read the file in
chunks through one small buffer; a copy goes straight from the file into its
destination (a new bytes object, filled by the engine without the
interpreter lock, or another file within the kernel).

A document is made of pieces: bytes-like objects and FileInputs, in order.
"""

from __future__ import annotations

import errno
import os
import stat
import weakref
from typing import Any, BinaryIO, Iterator, Optional, Protocol, Sequence, Tuple, Union

from .... import _pdfengine
from ..exceptions import PdfReadError

__all__ = ["FileInput", "regular_file_descriptor", "engine_piece", "join_pieces", "digest_piece", "write_piece"]

# Each chunk is read and hashed with the interpreter lock released: larger
# chunks hand it back and forth less often, and 1 MiB still stays in the cache.
_CHUNK = 1 << 20
# Copying while digesting: each chunk is read once, then hashed and written
# while it is still in the cache.
_COPY_CHUNK = 1 << 18
# copy_file_range refuses these pairs of files; the copy then goes through a buffer.
_NO_KERNEL_COPY = (errno.EXDEV, errno.ENOSYS, errno.EINVAL, errno.EOPNOTSUPP, errno.EBADF, errno.ETXTBSY)

# A piece of a document: bytes in memory, or an input file.
Piece = Union[bytes, bytearray, memoryview, "FileInput"]


class Digest(Protocol):
    """A running digest (hashlib's objects)."""

    def update(self, data: bytes | memoryview, /) -> None: ...


def regular_file_descriptor(stream: Any) -> Optional[int]:
    """The descriptor of ``stream`` when it is a regular file, else None."""
    try:
        descriptor = stream.fileno()
        return descriptor if stat.S_ISREG(os.fstat(descriptor).st_mode) else None
    except (AttributeError, OSError, ValueError):  # io.UnsupportedOperation is both
        return None


def _identity(status: os.stat_result) -> Tuple[int, int, int, int]:
    return status.st_dev, status.st_ino, status.st_size, status.st_mtime_ns


class FileInput:
    """The bytes of a regular file, as they were when it was opened.

    Reads go through a descriptor of its own, so the caller may close theirs.
    A file that changes afterwards is refused when it is read.
    """

    def __init__(self, descriptor: int) -> None:
        self.descriptor = os.dup(descriptor)
        self._close = weakref.finalize(self, os.close, self.descriptor)
        status = os.fstat(self.descriptor)
        self._identity = _identity(status)
        self.length = status.st_size

    def __len__(self) -> int:
        return self.length

    @property
    def identity(self) -> Tuple[int, int, int, int]:
        """(device, inode, size, modification time) of the file when it was opened."""
        return self._identity

    def check_unchanged(self) -> None:
        if _identity(os.fstat(self.descriptor)) != self._identity:
            raise PdfReadError("the input file changed while it was being read")

    def _read_into(self, view: memoryview, offset: int) -> None:
        done = 0
        while done < len(view):
            with view[done:] as rest:
                got = os.preadv(self.descriptor, [rest], offset + done)
            if not got:
                raise PdfReadError("the input file became shorter while it was being read")
            done += got

    def chunks(self, start: int, end: int) -> Iterator[memoryview]:
        """Memoryviews of the bytes from ``start`` to ``end``, each valid until the next."""
        buffer = memoryview(bytearray(min(_CHUNK, max(end - start, 0))))
        with buffer:
            for offset in range(start, end, _CHUNK):
                with buffer[:min(_CHUNK, end - offset)] as part:
                    self._read_into(part, offset)
                    yield part
        self.check_unchanged()

    def write_to(self, stream: BinaryIO) -> None:
        """Writes the bytes to ``stream``, within the kernel when it is a regular file."""
        target = regular_file_descriptor(stream)
        if target is not None and self.length:
            stream.flush()
            start = stream.tell()
            if self._copy_in_kernel(target, start):
                stream.seek(start + self.length)
                self.check_unchanged()
                return
        for chunk in self.chunks(0, self.length):
            stream.write(chunk)

    def copy_digesting(self, target: int, start: int, digest: Digest) -> None:
        """Writes the bytes to the file ``target`` at offset ``start`` and feeds
        them to ``digest``: one read serves both, where a copy within the
        kernel and a digest would each read the whole file."""
        buffer = memoryview(bytearray(min(_COPY_CHUNK, self.length)))
        with buffer:
            for offset in range(0, self.length, _COPY_CHUNK):
                with buffer[:min(_COPY_CHUNK, self.length - offset)] as part:
                    self._read_into(part, offset)
                    digest.update(part)
                    _write_all_at(target, part, start + offset)
        self.check_unchanged()

    def _copy_in_kernel(self, target: int, start: int) -> bool:
        copy_file_range = getattr(os, "copy_file_range", None)
        if copy_file_range is None:
            return False
        done = 0
        while done < self.length:
            try:
                copied = copy_file_range(self.descriptor, target, self.length - done, done, start + done)
            except OSError as error:
                if done == 0 and error.errno in _NO_KERNEL_COPY:
                    return False
                raise
            if not copied:
                raise PdfReadError("the input file became shorter while it was being read")
            done += copied
        return True


def _write_all_at(target: int, data: memoryview, offset: int) -> None:
    done = 0
    while done < len(data):
        with data[done:] as rest:
            written = os.pwrite(target, rest, offset + done)
        if not written:
            raise OSError(errno.EIO, "the output file took no more bytes")
        done += written


def engine_piece(piece: Union[bytes, FileInput]) -> Union[bytes, int]:
    """What the PDF engine reads for ``piece``: the bytes, or the file's descriptor."""
    return piece.descriptor if isinstance(piece, FileInput) else piece


def join_pieces(pieces: Sequence[Piece]) -> bytes:
    """The pieces joined into one new bytes object, in one engine call that
    holds no interpreter lock while it copies; each input file is read once,
    and refused when it changed since it was opened."""
    joined = _pdfengine.join([(piece.descriptor, piece.length) if isinstance(piece, FileInput)
                              else piece if isinstance(piece, bytes) else bytes(piece)
                              for piece in pieces])
    for piece in pieces:
        if isinstance(piece, FileInput):
            piece.check_unchanged()
    return joined


def digest_piece(digest: Digest, piece: Piece, start: int, end: int) -> None:
    """Feeds bytes ``start`` to ``end`` of ``piece`` to ``digest``, without copying them whole."""
    if isinstance(piece, FileInput):
        for chunk in piece.chunks(start, end):
            digest.update(chunk)
        return
    with memoryview(piece) as whole, whole[start:end] as part:
        digest.update(part)


def write_piece(stream: BinaryIO, piece: Piece) -> None:
    """Writes ``piece`` to ``stream``."""
    if isinstance(piece, FileInput):
        piece.write_to(stream)
    else:
        stream.write(piece)
