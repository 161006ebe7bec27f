"""What a signing or a timestamping produced."""

from __future__ import annotations

import datetime
from typing import Optional, Union

from .records import Record

__all__ = ["SignResult", "TimestampResult", "LEVELS"]

# The PAdES baseline levels a signature can be made to, lowest first.
LEVELS = ("B-B", "B-T", "B-LT", "B-LTA")

# The destination path (as given) or, without a destination file, the signed bytes.
Output = Union[str, "bytes", None]


class SignResult(Record):
    """A signature added to a document.

    ``output`` is the destination path as given, the document's bytes when no
    destination was given, or None when it went to a file object.
    ``timestamp_time`` is the signature timestamp's time (None at B-B).
    """

    _fields = ("output", "field", "signer", "signing_time", "timestamp_time", "level")
    output: Output
    field: str
    signer: str
    signing_time: Optional[datetime.datetime]
    timestamp_time: Optional[datetime.datetime]
    level: str

    def __init__(self, output: Output, field: str, signer: str, signing_time: Optional[datetime.datetime],
                 timestamp_time: Optional[datetime.datetime], level: str) -> None:
        for name, value in zip(self._fields, (output, field, signer, signing_time, timestamp_time, level)):
            self._set(name, value)

    def __repr__(self) -> str:
        output = "<%d bytes>" % len(self.output) if isinstance(self.output, bytes) else repr(self.output)
        return ("SignResult(output=%s, field=%r, signer=%r, signing_time=%r, timestamp_time=%r, level=%r)"
                % (output, self.field, self.signer, self.signing_time, self.timestamp_time, self.level))


class TimestampResult(Record):
    """A document timestamp added to a document (``output`` as in SignResult)."""

    _fields = ("output", "field", "timestamp_time")
    output: Output
    field: str
    timestamp_time: Optional[datetime.datetime]

    def __init__(self, output: Output, field: str, timestamp_time: Optional[datetime.datetime]) -> None:
        for name, value in zip(self._fields, (output, field, timestamp_time)):
            self._set(name, value)

    def __repr__(self) -> str:
        output = "<%d bytes>" % len(self.output) if isinstance(self.output, bytes) else repr(self.output)
        return "TimestampResult(output=%s, field=%r, timestamp_time=%r)" % (output, self.field, self.timestamp_time)
