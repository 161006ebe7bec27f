"""The output stream of a signature preparation: an io.BytesIO holding the
input followed by the prepared update.

It is made on first use, in one copy straight into its own buffer, and the
digest of the signed byte ranges is taken from that buffer at the same time.
A preparation whose output and digest are never used (the completion phase
prepares the document again only for its post-sign instructions) never
copies or hashes the document.  The stream also knows whether anything but
reading has touched it since, so that embedding the signature into it needs
no second digest of the whole document.
"""

import io

from ..pdf_utils.file_input import FileInput
from .byte_range_digest import digest_byte_ranges

__all__ = ["PreparedOutput"]

_READING = ("getvalue", "read", "read1", "readinto", "readinto1", "readline", "readlines", "seek", "tell",
            "__iter__", "__next__", "__getstate__")
_CHANGING = ("getbuffer", "write", "writelines", "truncate", "__setstate__")


class PreparedOutput(io.BytesIO):
    """``pieces`` (bytes-like objects and FileInputs) joined, once needed.

    ``digest_of(byte_range)`` is the SHA-256 of those ranges of the joined
    bytes as they were made; ``unchanged`` is True until the content is
    written to, truncated or exported writable (``getbuffer``).
    """

    def __init__(self, pieces, byte_range):
        super().__init__()
        self._pieces = tuple(pieces)
        self._byte_range = tuple(byte_range)
        self._digest = None
        self._changed = False

    @property
    def unchanged(self):
        return not self._changed

    @property
    def digest(self):
        """SHA-256 of the byte range this output was prepared for, as made."""
        if self._digest is None and self.closed:
            self._digest = digest_byte_ranges(self._pieces, self._byte_range)
            self._pieces = ()
        self._make()
        return self._digest

    def close(self):
        # Also called when the stream is collected: closing needs no content.
        io.BytesIO.close(self)

    def _make(self):
        if self._digest is not None or self.closed:
            return
        pieces = self._pieces
        length = sum(len(piece) for piece in pieces)
        io.BytesIO.__init__(self, bytes(length))  # zeroed pages, touched only once, by the copy
        with io.BytesIO.getbuffer(self) as view:
            base = 0
            for piece in pieces:
                with view[base:base + len(piece)] as part:
                    if isinstance(piece, FileInput):
                        piece.copy_into(part)
                    else:
                        part[:] = piece
                base += len(piece)
            digest = digest_byte_ranges([view], self._byte_range)
        self._digest = digest
        self._pieces = ()


def _made_first(name, changes):
    method = getattr(io.BytesIO, name)

    def made_first(self, *args, **kwargs):
        self._make()
        if changes:
            self._changed = True
        return method(self, *args, **kwargs)

    made_first.__name__ = name
    made_first.__doc__ = method.__doc__
    return made_first


for _name in _READING + _CHANGING:
    setattr(PreparedOutput, _name, _made_first(_name, _name in _CHANGING))
