"""Client of the Corvane remote PDF-signing service.

``CorvaneSDK.Client`` is the interface for applications; ``CorvaneSDK.sign``
and ``CorvaneSDK.timestamp`` are the compatible, fixed modules.
"""

from importlib.metadata import version as _installed_version
from typing import Any

# The version the package was installed as (pyproject.toml is its one source).
__version__ = _installed_version("CorvaneSDK")

# Imported on first use, so that importing a fixed module does not load the Client.
_CLIENT_NAMES = ("Client", "Appearance", "SignResult", "TimestampResult", "LEVELS", "CorvaneError",
                 "ServiceRefused", "ServiceUnavailable", "TimestampError", "ValidationDataError", "PdfError",
                 "OutputError", "UnsupportedOption")


def __getattr__(name: str) -> Any:
    if name in _CLIENT_NAMES:
        from . import client
        return getattr(client, name)
    raise AttributeError("module 'CorvaneSDK' has no attribute %r" % name)


def __dir__() -> list:  # type: ignore[type-arg]
    return sorted(list(globals()) + list(_CLIENT_NAMES))
