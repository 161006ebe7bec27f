"""Trust anchors for verification: certificates given as objects, PEM/DER
bytes, or paths of PEM/DER files and folders, and the operating system's bundle."""

from __future__ import annotations

import os
from typing import Any, Iterable, List

__all__ = ["TrustAnchorError", "trust_roots", "system_trust_roots", "SYSTEM_BUNDLES"]

# The operating system's bundle of trusted CAs: Debian/Ubuntu, Fedora/RHEL, Alpine/BSD.
SYSTEM_BUNDLES = ("/etc/ssl/certs/ca-certificates.crt", "/etc/pki/tls/certs/ca-bundle.crt", "/etc/ssl/cert.pem")


class TrustAnchorError(Exception):
    """A trust anchor that cannot be read or holds no certificate."""


def _certificates_in(data: bytes) -> List[Any]:
    from ..CorvaneSign.corvane_certvalidator.decoding import certificates_from_bytes
    return list(certificates_from_bytes(data))


def _certificates_at(path: str) -> List[Any]:
    if not os.path.isdir(path):
        with open(path, "rb") as handle:
            return _certificates_in(handle.read())
    # A folder: every file that holds certificates (notes and keys are passed over).
    certs: List[Any] = []
    for name in sorted(os.listdir(path)):
        member = os.path.join(path, name)
        if os.path.isfile(member):
            try:
                certs.extend(_certificates_at(member))
            except (OSError, ValueError):
                continue
    if not certs:
        raise ValueError("no file in it holds a PEM or DER certificate")
    return certs


def _usable(certs: Iterable[Any]) -> List[Any]:
    """The certificates that path validation can read (a few old system roots it cannot)."""
    from ..CorvaneSign.corvane_certvalidator.path_policy import to_cryptography
    usable = []
    for cert in certs:
        if cert.serial_number <= 0:  # refused by RFC 5280 and by the path validator
            continue
        try:
            to_cryptography(cert)
        except ValueError:
            continue
        usable.append(cert)
    return usable


def trust_roots(trust: Iterable[Any]) -> List[Any]:
    """Certificates from ``trust``: asn1crypto certificates, PEM/DER bytes, or paths."""
    if isinstance(trust, (str, bytes, os.PathLike)):
        trust = [trust]
    roots: List[Any] = []
    for item in trust:
        try:
            if isinstance(item, (bytes, bytearray)):
                roots.extend(_certificates_in(bytes(item)))
            elif isinstance(item, (str, os.PathLike)):
                roots.extend(_certificates_at(os.fspath(item)))
            else:
                roots.append(item)
        except OSError as error:
            raise TrustAnchorError("cannot read the trust anchor %s: %s"
                                   % (item, error.strerror or error)) from None
        except ValueError as error:
            what = item if isinstance(item, (str, os.PathLike)) else "given as bytes"
            raise TrustAnchorError("the trust anchor %s holds no certificate (%s)" % (what, error)) from None
    return roots


def system_trust_roots() -> List[Any]:
    """The certificates of the first operating-system bundle found."""
    for bundle in SYSTEM_BUNDLES:
        if os.path.isfile(bundle):
            return _usable(trust_roots([bundle]))
    raise TrustAnchorError("no system trust store found (looked for %s)" % ", ".join(SYSTEM_BUNDLES))
