"""Client of the Corvane remote PDF-signing service.

``CorvaneSDK.Client`` is the interface for applications; ``CorvaneSDK.sign``
and ``CorvaneSDK.timestamp`` are the compatible, fixed modules.
"""

# Type checkers see the Client's names here; at run time they are imported on
# first use, so that importing a fixed module does not load the Client.
TYPE_CHECKING = False
if TYPE_CHECKING:
    __version__: str
    from .client import (LEVELS as LEVELS, Appearance as Appearance, Client as Client,
                         CorvaneError as CorvaneError, OutputError as OutputError, PdfError as PdfError,
                         ServiceRefused as ServiceRefused, ServiceUnavailable as ServiceUnavailable,
                         SignResult as SignResult, TimestampError as TimestampError,
                         TimestampResult as TimestampResult,
                         ValidationDataError as ValidationDataError)

_CLIENT_NAMES = ("Client", "Appearance", "SignResult", "TimestampResult", "LEVELS", "CorvaneError",
                 "ServiceRefused", "ServiceUnavailable", "TimestampError", "ValidationDataError", "PdfError",
                 "OutputError")


def __getattr__(name: str) -> object:
    # The version the package was installed as (pyproject.toml is its one
    # source), looked up only when asked for: finding the installed
    # distribution costs more than a signing run's own work.
    if name == "__version__":
        from importlib.metadata import version
        return version("CorvaneSDK")
    if name in _CLIENT_NAMES:
        from . import client
        return getattr(client, name)
    raise AttributeError("module %r has no attribute %r" % (__name__, name))


def __dir__() -> "list[str]":
    return sorted(list(globals()) + list(_CLIENT_NAMES) + ["__version__"])
