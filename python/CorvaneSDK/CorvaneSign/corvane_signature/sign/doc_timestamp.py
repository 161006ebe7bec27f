"""Document timestamps: a /DocTimeStamp signature whose /Contents is an
RFC 3161 token over the byte ranges of the whole file.

The room for the token is reserved before the token exists; a token larger
than the reservation is retried once with room for it.
"""

from __future__ import annotations

import binascii
import hashlib
from typing import TYPE_CHECKING, Any, Callable, Generator, Optional, Sequence, Tuple

from asn1crypto import cms

from ..exceptions import TimestampError
from .... import _pdfengine
from ..pdf_utils.file_input import Piece
from .byte_range_digest import digest_byte_ranges
from .embedding import container_der
from .fields import SigSeedSubFilter

if TYPE_CHECKING:
    from .timestamps import Timestamper

__all__ = ["DEFAULT_TOKEN_RESERVE", "timestamp_token_der", "timestamp_update", "async_timestamp_update"]

# A token with the TSA's certificate and a short chain fits comfortably.
DEFAULT_TOKEN_RESERVE = 16384
_RESERVE_MARGIN = 512

# Yields the digests to timestamp, is sent their tokens, returns (update, token DER).
_Steps = Generator[bytes, Any, Tuple[bytes, bytes]]


def _source(timestamper: Timestamper) -> str:
    return "the timestamp server %s" % getattr(timestamper, "url", type(timestamper).__name__)


def timestamp_token_der(token: Any, digest: bytes, timestamper: Timestamper) -> bytes:
    """DER of ``token`` after checking that it timestamps ``digest`` (SHA-256)."""
    der = container_der(token)
    try:
        info = cms.ContentInfo.load(der)
        if info["content_type"].native != "signed_data":
            raise ValueError("not a SignedData")
        encapsulated = info["content"]["encap_content_info"]
        if encapsulated["content_type"].native != "tst_info":
            raise ValueError("no TSTInfo inside")
        imprint = encapsulated["content"].parsed["message_imprint"]
        algorithm = imprint["hash_algorithm"]["algorithm"].native
        hashed = imprint["hashed_message"].native
    except (ValueError, TypeError, KeyError) as error:
        raise TimestampError("%s returned something that is not a timestamp token (%s)"
                             % (_source(timestamper), error))
    if algorithm != "sha256" or hashed != digest:
        raise TimestampError("%s returned a token for another digest than the document's"
                             % _source(timestamper))
    return der


class _PreparedTimestamp:
    def __init__(self, document: _pdfengine.Document, pieces: Sequence[Piece], field_name: str,
                 bytes_reserved: int, prefix: Optional[Tuple[int, hashlib._Hash]]) -> None:
        self.document = document
        self.laid_out, self.byte_range = document.prepare_signature(
            field_name, SigSeedSubFilter.ETSI_RFC3161.value, bytes_reserved, document_timestamp=True)
        self.update = bytearray(self.laid_out)
        self.bytes_reserved = bytes_reserved
        self.base_length = sum(len(piece) for piece in pieces)
        self.digest = digest_byte_ranges(list(pieces) + [self.update], self.byte_range, prefix)

    def embed(self, der: bytes) -> bytes:
        """The update with the token in place; the document goes on from it."""
        start = self.byte_range[1] - self.base_length + 1
        hex_der = binascii.hexlify(der).upper()
        self.update[start:start + len(hex_der)] = hex_der
        self.document.extend(self.laid_out)
        return bytes(self.update)


def _steps(document: _pdfengine.Document, pieces: Sequence[Piece], field_name: str, timestamper: Timestamper,
           prefix: Optional[Tuple[int, hashlib._Hash]] = None) -> _Steps:
    """Yields each digest to timestamp and receives its token; returns (update, token DER)."""
    reserve = DEFAULT_TOKEN_RESERVE
    for _attempt in range(2):
        prepared = _PreparedTimestamp(document, pieces, field_name, reserve, prefix)
        token = yield prepared.digest
        der = timestamp_token_der(token, prepared.digest, timestamper)
        if len(der) <= reserve:
            return prepared.embed(der), der
        reserve = len(der) + _RESERVE_MARGIN
    raise TimestampError("%s returns tokens of varying size larger than the room reserved for them"
                         % _source(timestamper))


def _drive(steps: _Steps, fetch: Callable[[bytes], Any]) -> Tuple[bytes, bytes]:
    digest = next(steps)
    while True:
        try:
            digest = steps.send(fetch(digest))
        except StopIteration as done:
            result: Tuple[bytes, bytes] = done.value
            return result


def timestamp_update(document: _pdfengine.Document, pieces: Sequence[Piece], timestamper: Timestamper,
                     field_name: str, prefix: Optional[Tuple[int, hashlib._Hash]] = None) -> Tuple[bytes, bytes]:
    """The update (bytes) adding a document timestamp to the engine ``document``
    made of ``pieces``, and the token's DER; the token comes from ``timestamper.timestamp``.
    The document goes on from the update: the caller appends it to the document's bytes.

    ``prefix`` is the digest of the document's beginning when it is known
    (see digest_byte_ranges)."""
    return _drive(_steps(document, pieces, field_name, timestamper, prefix),
                  lambda digest: timestamper.timestamp(digest, "sha256"))


async def async_timestamp_update(document: _pdfengine.Document, pieces: Sequence[Piece], timestamper: Timestamper,
                                 field_name: str, prefix: Optional[Tuple[int, hashlib._Hash]] = None
                                 ) -> Tuple[bytes, bytes]:
    """As timestamp_update, awaiting ``timestamper.async_timestamp`` when it has one.

    ``prefix`` is the digest of the document's beginning when it is known
    (see digest_byte_ranges)."""
    steps = _steps(document, pieces, field_name, timestamper, prefix)
    digest = next(steps)
    while True:
        fetch = getattr(timestamper, "async_timestamp", None)
        token = await fetch(digest, "sha256") if fetch else timestamper.timestamp(digest, "sha256")
        try:
            digest = steps.send(token)
        except StopIteration as done:
            result: Tuple[bytes, bytes] = done.value
            return result
