"""Putting signature containers into prepared documents, and appending
further updates to an output stream.

Writes go into the stream in place: an in-memory stream is never copied as a
whole, except by the stream itself when something else still shares its buffer.
"""

from __future__ import annotations

import binascii
from typing import TYPE_CHECKING, Any, BinaryIO

from ..exceptions import SigningError
from .byte_range_digest import digest_stream_byte_ranges

if TYPE_CHECKING:
    from .byte_range_digest import PreparedByteRangeDigest

__all__ = ["container_der", "document_bytes", "append_update", "embed_container"]


def container_der(container: Any) -> bytes:
    """DER bytes of a CMS ContentInfo (asn1crypto) or of DER given as bytes."""
    if isinstance(container, (bytes, bytearray)):
        return bytes(container)
    dump = getattr(container, "dump", None)
    if dump is None:
        raise SigningError("a signature container must be an asn1crypto ContentInfo or DER bytes, not %s"
                           % type(container).__name__)
    der: bytes = dump()
    return der


def _stream_length(stream: BinaryIO) -> int:
    position = stream.seek(0, 2)
    return position


def document_bytes(stream: BinaryIO) -> bytes:
    """The whole content of ``stream`` as bytes (shared, not copied, for io.BytesIO)."""
    getvalue = getattr(stream, "getvalue", None)
    if getvalue is not None:
        content: bytes = getvalue()
        return content
    stream.seek(0)
    return stream.read()


def append_update(stream: BinaryIO, update: bytes) -> None:
    """Appends an incremental update at the end of ``stream``."""
    if update:
        stream.seek(0, 2)
        stream.write(update)


def _reserved_region_is_blank(stream: BinaryIO, start: int, end: int) -> bool:
    """True when the region is '<' + hex zeros + '>', as the preparation left it."""
    stream.seek(start)
    text = stream.read(end - start)
    return len(text) == end - start and text[:1] == b"<" and text[-1:] == b">" \
        and not text[1:-1].strip(b"0")


def embed_container(stream: BinaryIO, prepared_digest: PreparedByteRangeDigest, der: bytes,
                    what: str = "signature container") -> None:
    """Writes ``der`` hex-encoded into the reserved /Contents of ``stream``.

    Refuses a stream whose byte ranges do not hash to the prepared digest,
    a reservation that was already filled, and a container too large for it.
    The prepared digest's own output, untouched since it was made, is known
    to hash to it and is not hashed again.
    """
    reserved = prepared_digest.bytes_reserved
    if len(der) > reserved:
        raise SigningError("the %s needs %d bytes but only %d bytes were reserved for it; "
                           "prepare the document with bytes_reserved of at least %d"
                           % (what, len(der), reserved, len(der)))
    length = _stream_length(stream)
    start, end = prepared_digest.reserved_region_start, prepared_digest.reserved_region_end
    if length != prepared_digest.document_length:
        raise SigningError("the output stream holds %d bytes but the prepared digest describes a "
                           "document of %d bytes: they do not belong together"
                           % (length, prepared_digest.document_length))
    if not _reserved_region_is_blank(stream, start, end):
        raise SigningError("the output stream has no blank signature placeholder at offset %d: "
                           "it was already signed, or belongs to another prepared digest" % start)
    describes = getattr(prepared_digest, "describes", None)
    if (describes is None or not describes(stream)) and \
            digest_stream_byte_ranges(stream, prepared_digest.byte_range) != prepared_digest.document_digest:
        raise SigningError("the output stream's byte ranges do not hash to the prepared digest: "
                           "the digest belongs to another document")
    stream.seek(start + 1)
    stream.write(binascii.hexlify(der).upper())
    stream.seek(0)
