"""Signers: the external signer, signature settings, PDF signer and timestamper."""

from .external import ExternalSigner
from .pdf_signer import PdfSignatureMetadata, PdfSigner, PdfTimeStamper

__all__ = ["ExternalSigner", "PdfSignatureMetadata", "PdfSigner", "PdfTimeStamper", "DEFAULT_MD"]

DEFAULT_MD = "sha256"
