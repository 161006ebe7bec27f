"""Errors of the signature library.

Every failure the library reports is one of these (or ConfigurationError for
bad settings), with a message that says what failed and on which input or
server; no message ever carries a credential.
"""

import datetime

__all__ = [
    "CorvaneSignError",
    "PdfReadError",
    "PdfEncryptedError",
    "PdfWriteError",
    "SigningError",
    "TimestampError",
    "ValidationError",
    "RevokedCertificateError",
    "ValidationInfoUnavailableError",
]


class CorvaneSignError(Exception):
    """Base class of the library's errors."""


class PdfReadError(CorvaneSignError):
    """The input is not a PDF document that can be read."""


class PdfEncryptedError(PdfReadError):
    """The input is encrypted in a way the library cannot sign."""


class PdfWriteError(CorvaneSignError):
    """An incremental update could not be written or failed its own checks."""


class SigningError(CorvaneSignError):
    """A signature cannot be laid out, assembled or embedded."""


class TimestampError(CorvaneSignError):
    """A timestamp server failed or gave an answer that cannot be trusted."""


class ValidationError(CorvaneSignError):
    """Certificate chain or revocation data cannot be established."""


class RevokedCertificateError(ValidationError):
    """A certificate of the chain is revoked."""

    # When it was revoked: set by the check that found it, where the source says.
    revoked_at: datetime.datetime


class ValidationInfoUnavailableError(ValidationError, NotImplementedError):
    """Validation information was asked for, but no source can gather it."""
