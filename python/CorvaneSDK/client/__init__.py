"""The Client: signing, timestamping and verification for applications."""

from .appearance import Appearance
from .client import Client
from .errors import (CorvaneError, OutputError, PdfError, ServiceRefused, ServiceUnavailable, TimestampError,
                     ValidationDataError)
from .results import LEVELS, SignResult, TimestampResult

__all__ = ["Client", "Appearance", "SignResult", "TimestampResult", "LEVELS", "CorvaneError", "ServiceRefused",
           "ServiceUnavailable", "TimestampError", "ValidationDataError", "PdfError", "OutputError"]
