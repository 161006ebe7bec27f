"""The library's and the service's failures as the Client's exceptions."""

from __future__ import annotations

import binascii

from ..CorvaneSign.corvane_signature import exceptions as library
from ..CorvaneSign.corvane_signature.config.errors import ConfigurationError
from .errors import CorvaneError, PdfError, TimestampError, ValidationDataError

__all__ = ["client_error"]


def client_error(error: Exception) -> CorvaneError:
    """The CorvaneError that stands for ``error`` (raised with it as cause)."""
    # Here, not at the top: signing alone should not load verification.
    from ..verification import NoSignaturesError

    if isinstance(error, CorvaneError):
        return error
    message = str(error) or type(error).__name__
    if isinstance(error, library.TimestampError):
        return TimestampError(message)
    if isinstance(error, library.ValidationError):
        return ValidationDataError(message)
    if isinstance(error, (library.PdfReadError, library.PdfWriteError, library.SigningError, NoSignaturesError)):
        return PdfError(message)
    if isinstance(error, ConfigurationError):
        # A setting the library cannot carry out, e.g. a character the appearance's font lacks.
        return CorvaneError(message)
    if isinstance(error, (binascii.Error, ValueError, KeyError, TypeError)):
        # The service's answer or the credentials it enciphered could not be used.
        return CorvaneError("the signing service's answer cannot be used: %s (%s)"
                            % (message, type(error).__name__))
    return CorvaneError("%s: %s" % (type(error).__name__, message))
