"""Certificate names as a report shows them."""

from typing import Any, List

__all__ = ["subject_text", "common_name"]

_SHORT = {
    "common_name": "CN",
    "organization_name": "O",
    "organizational_unit_name": "OU",
    "country_name": "C",
    "locality_name": "L",
    "state_or_province_name": "ST",
    "email_address": "E",
    "serial_number": "SERIALNUMBER",
    "given_name": "G",
    "surname": "SN",
    "organization_identifier": "organizationIdentifier",
}


def subject_text(cert: Any) -> str:
    """The subject of ``cert`` as "CN=..., O=..." in the certificate's own order."""
    parts: List[str] = []
    for rdn in cert.subject.chosen:
        for attribute in rdn:
            kind = attribute["type"]
            label = _SHORT.get(kind.native, kind.dotted)
            value = attribute["value"].native
            parts.append("%s=%s" % (label, value if isinstance(value, str) else str(value)))
    return ", ".join(parts)


def common_name(cert: Any) -> str:
    """The subject's common name, or the whole subject when it has none."""
    name = cert.subject.native.get("common_name")
    if isinstance(name, list):
        name = name[0] if name else None
    return name if isinstance(name, str) and name else subject_text(cert)
