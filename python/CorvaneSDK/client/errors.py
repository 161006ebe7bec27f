"""The Client's exceptions: one base class, one subclass per kind of failure.

Messages say what failed and where; they never carry the API token or a
timestamp password.
"""

from __future__ import annotations

from typing import Optional

__all__ = ["CorvaneError", "ServiceRefused", "ServiceUnavailable", "TimestampError",
           "ValidationDataError", "PdfError", "OutputError"]


class CorvaneError(Exception):
    """Base class of every failure the Client reports."""


class ServiceRefused(CorvaneError):
    """The signing service answered, but not with what was asked for."""

    def __init__(self, url: str, status: int, message: str) -> None:
        super().__init__("the signing service refused %s (HTTP %d): %s" % (url, status, message or "no message"))
        self.url = url
        self.status = status
        self.message = message


class ServiceUnavailable(CorvaneError):
    """A server could not be reached or did not answer in time."""

    def __init__(self, url: str, problem: str) -> None:
        super().__init__("%s: %s" % (url, problem))
        self.url = url


class TimestampError(CorvaneError):
    """The timestamp server failed or gave a token that cannot be trusted."""


class ValidationDataError(CorvaneError):
    """Certificate chains or revocation data could not be gathered."""


class PdfError(CorvaneError):
    """The input is not a PDF document that can be signed, or the signature cannot be laid out."""


class OutputError(CorvaneError):
    """The output could not be written; an existing output file is left as it was."""

    def __init__(self, message: str, destination: Optional[str] = None) -> None:
        super().__init__(message)
        self.destination = destination

