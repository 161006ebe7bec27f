"""Verification of signed PDF documents: ``verify_pdf(data, trust_roots)``
gives a report of every signature and document timestamp in the file."""

# Type checkers see the names here; at run time the report (and all it needs)
# loads on first use, so a signer reading one helper here does not load it.
TYPE_CHECKING = False
if TYPE_CHECKING:
    from .report import NoSignaturesError as NoSignaturesError, verify_pdf as verify_pdf

__all__ = ["NoSignaturesError", "verify_pdf"]


def __getattr__(name: str) -> object:
    if name in __all__:
        from . import report
        return getattr(report, name)
    raise AttributeError("module %r has no attribute %r" % (__name__, name))
