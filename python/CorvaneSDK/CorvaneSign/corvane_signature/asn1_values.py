"""Building ASN.1 values so that their encoding is computed once.

asn1crypto re-encodes a value built from Python data (or one in which
parsing filled in a DEFAULT field) on every dump(), down to every nested
certificate.  A value loaded from its DER dumps the bytes it was loaded from.
"""

from typing import Any

__all__ = ["encoded_once"]


def encoded_once(asn1_type: Any, value: Any) -> Any:
    """``asn1_type(value)``, encoded once and loaded back from that DER."""
    return asn1_type.load(asn1_type(value).dump())
