"""Digests over the byte ranges of a signature: the whole file but the
/Contents hex string.

Hashing runs over the document where it lies (bytes objects, the buffer of
an in-memory stream, or the input file in chunks), never over a
concatenated copy.
"""

from __future__ import annotations

import hashlib
from typing import TYPE_CHECKING, Any, List, Optional, Sequence, Tuple

from ..exceptions import SigningError
from ..pdf_utils.file_input import Piece, digest_piece

if TYPE_CHECKING:
    from .prepared_output import PreparedOutput

__all__ = ["PreparedByteRangeDigest", "digest_byte_ranges", "digest_stream_byte_ranges"]


def _ranges(byte_range: Sequence[int]) -> List[Tuple[int, int]]:
    if len(byte_range) % 2 or not byte_range:
        raise SigningError("a signature byte range needs pairs of offset and length, got %r"
                           % (tuple(byte_range),))
    return [(byte_range[i], byte_range[i] + byte_range[i + 1]) for i in range(0, len(byte_range), 2)]


def digest_byte_ranges(pieces: Sequence[Piece], byte_range: Sequence[int],
                       prefix: Optional[Tuple[int, hashlib._Hash]] = None) -> bytes:
    """SHA-256 over ``byte_range`` of the document made of ``pieces`` (bytes-like or FileInput, in order).

    ``prefix`` is (length, hashlib SHA-256 object over the document's first
    length bytes): when the byte range begins with these bytes, they are not
    hashed again.
    """
    total = sum(len(piece) for piece in pieces)
    digest = hashlib.sha256()
    hashed = 0
    if prefix is not None and tuple(byte_range[:1]) == (0,) and len(byte_range) > 1 and byte_range[1] >= prefix[0]:
        hashed, digest = prefix[0], prefix[1].copy()
    for start, end in _ranges(byte_range):
        if start < 0 or end < start or end > total:
            raise SigningError("the byte range %r does not fit a document of %d bytes"
                               % (tuple(byte_range), total))
        start = max(start, hashed)
        base = 0
        for piece in pieces:
            low, high = max(start, base), min(end, base + len(piece))
            if low < high:
                digest_piece(digest, piece, low - base, high - base)
            base += len(piece)
    return digest.digest()


def digest_stream_byte_ranges(stream: Any, byte_range: Sequence[int], chunk_size: int = 1 << 20) -> bytes:
    """SHA-256 over ``byte_range`` of a seekable binary stream."""
    getbuffer = getattr(stream, "getbuffer", None)
    if getbuffer is not None:
        with getbuffer() as view:
            return digest_byte_ranges([view], byte_range)
    digest = hashlib.sha256()
    for start, end in _ranges(byte_range):
        stream.seek(start)
        remaining = end - start
        while remaining:
            chunk = stream.read(min(chunk_size, remaining))
            if not chunk:
                raise SigningError("the output stream ends before the signature's byte range does")
            digest.update(chunk)
            remaining -= len(chunk)
    return digest.digest()


class PreparedByteRangeDigest:
    """The digest a signature must sign, with where its container goes.

    ``output`` is the PreparedOutput the document was prepared into; the
    byte range and the digest are taken from it when first used, so a
    preparation whose digest and output are never used never lays the
    signature out or hashes the document.
    """

    md_algorithm = "sha256"

    def __init__(self, output: PreparedOutput) -> None:
        self.output = output

    @property
    def byte_range(self) -> Tuple[int, ...]:
        return self.output.byte_range

    @property
    def reserved_region_start(self) -> int:
        """Offset of the '<' that opens the /Contents hex string."""
        return self.byte_range[1]

    @property
    def reserved_region_end(self) -> int:
        """Offset just after the '>' that closes the /Contents hex string."""
        return self.byte_range[2]

    @property
    def bytes_reserved(self) -> int:
        """Room for the signature container, in bytes."""
        return (self.reserved_region_end - self.reserved_region_start - 2) // 2

    @property
    def document_length(self) -> int:
        return self.byte_range[2] + self.byte_range[3]

    @property
    def document_digest(self) -> bytes:
        return self.output.digest

    def describes(self, stream: object) -> bool:
        """True when ``stream`` is this digest's own output and nothing but
        reading has touched it since it was made: its byte ranges then still
        hash to the digest without hashing them again."""
        return stream is self.output and self.output.unchanged

    def __repr__(self) -> str:
        return "PreparedByteRangeDigest(byte_range=%r)" % (self.byte_range,)
