"""Short, readable names of certificates for error messages."""

__all__ = ["name_text", "describe"]


def name_text(name):
    """The common name of an ``x509.Name`` when it has one, else the whole name."""
    common_name = name.native.get("common_name")
    if isinstance(common_name, str) and common_name:
        return '"%s"' % common_name
    return name.human_friendly


def describe(cert):
    """Subject and serial of ``cert``, e.g. ``"Signer CA" (serial 0x1F2E)``."""
    return "%s (serial 0x%X)" % (name_text(cert.subject), cert.serial_number)
