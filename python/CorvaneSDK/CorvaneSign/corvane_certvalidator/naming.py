"""Comparing X.509 names, and short, readable names of certificates for error messages."""

from typing import Any

__all__ = ["same_name", "name_text", "describe"]


def same_name(a: Any, b: Any) -> bool:
    """Whether two ``x509.Name`` values name the same entity (RFC 5280 comparison).

    Equal encodings settle it at once; only names encoded differently go
    through asn1crypto's comparison, which string-preps every attribute.
    """
    return bool(a.dump() == b.dump() or a == b)


def name_text(name: Any) -> str:
    """The common name of an ``x509.Name`` when it has one, else the whole name."""
    common_name = name.native.get("common_name")
    if isinstance(common_name, str) and common_name:
        return '"%s"' % common_name
    friendly: str = name.human_friendly
    return friendly


def describe(cert: Any) -> str:
    """Subject and serial of ``cert``, e.g. ``"Signer CA" (serial 0x1F2E)``."""
    return "%s (serial 0x%X)" % (name_text(cert.subject), cert.serial_number)
