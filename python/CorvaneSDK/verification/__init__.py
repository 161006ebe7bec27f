"""Verification of signed PDF documents: ``verify_pdf(data, trust_roots)``
gives a report of every signature and document timestamp in the file."""

from .report import NoSignaturesError, verify_pdf

__all__ = ["NoSignaturesError", "verify_pdf"]
