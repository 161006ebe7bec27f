"""``corvane verify FILE [--trust CA.pem|DIR ...] [--system-trust] [--json]``.

Exit status: 0 when every signature and document timestamp is TOTAL-PASSED,
1 when any is TOTAL-FAILED, 3 when none failed but some are INDETERMINATE
(for instance when no trust anchor was given), 2 when there is nothing to
verify (no signatures, a file that is not a readable PDF, an unusable trust
file or folder).
"""

from __future__ import annotations

import argparse
import os
import sys
from typing import Any, Dict, Iterable, List, Optional

from .errors import CommandError

__all__ = ["add_verify_parser", "load_trust_roots", "system_trust_roots", "verify_file", "SYSTEM_BUNDLES"]

NOTHING_TO_VERIFY = 2

# The operating system's bundle of trusted CAs: Debian/Ubuntu, Fedora/RHEL, Alpine/BSD.
SYSTEM_BUNDLES = ("/etc/ssl/certs/ca-certificates.crt", "/etc/pki/tls/certs/ca-bundle.crt", "/etc/ssl/cert.pem")


def _certificates_in_file(path: str) -> List[Any]:
    from ..CorvaneSign.corvane_certvalidator.decoding import certificates_from_bytes
    with open(path, "rb") as handle:
        return certificates_from_bytes(handle.read())


def _certificates_in_folder(path: str) -> List[Any]:
    """Every certificate of the folder's files; files that hold none (notes, keys) are passed over."""
    certs: List[Any] = []
    for name in sorted(os.listdir(path)):
        member = os.path.join(path, name)
        if not os.path.isfile(member):
            continue
        try:
            certs.extend(_certificates_in_file(member))
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
        if cert.serial_number <= 0:  # refused by RFC 5280 and soon by the path validator
            continue
        try:
            to_cryptography(cert)
        except ValueError:
            continue
        usable.append(cert)
    return usable


def load_trust_roots(paths: Optional[Iterable[str]]) -> List[Any]:
    """The certificates in ``paths``: PEM or DER files, or folders of them."""
    roots: List[Any] = []
    for path in paths or []:
        try:
            if os.path.isdir(path):
                roots.extend(_certificates_in_folder(path))
            else:
                roots.extend(_certificates_in_file(path))
        except OSError as error:
            raise CommandError("cannot read the trust root file %s: %s" % (path, error.strerror),
                               NOTHING_TO_VERIFY) from None
        except ValueError as error:
            raise CommandError("the trust root %s %s holds no certificate (%s)"
                               % ("folder" if os.path.isdir(path) else "file", path, error),
                               NOTHING_TO_VERIFY) from None
    return roots


def system_trust_roots() -> List[Any]:
    """The certificates of the first operating-system bundle found."""
    for bundle in SYSTEM_BUNDLES:
        if os.path.isfile(bundle):
            return _usable(load_trust_roots([bundle]))
    raise CommandError("no system trust store found (looked for %s)" % ", ".join(SYSTEM_BUNDLES),
                       NOTHING_TO_VERIFY)


def verify_file(path: str, trust_roots: Iterable[Any] = ()) -> Dict[str, Any]:
    """The verification report of the file at ``path``; CommandError (status 2) when there is none."""
    from ..CorvaneSign.corvane_signature.exceptions import PdfReadError
    from ..verification import NoSignaturesError, verify_pdf
    try:
        handle = open(path, "rb")
    except OSError as error:
        raise CommandError("cannot read %s: %s" % (path, error.strerror), NOTHING_TO_VERIFY) from None
    try:
        with handle:  # read on demand, never whole
            return verify_pdf(handle, trust_roots, file_name=path)
    except NoSignaturesError as error:
        raise CommandError("%s: nothing to verify: %s" % (path, error), NOTHING_TO_VERIFY) from None
    except PdfReadError as error:
        raise CommandError("%s is not a PDF document that can be read: %s" % (path, error),
                           NOTHING_TO_VERIFY) from None
    except OSError as error:
        raise CommandError("cannot read %s: %s" % (path, error.strerror), NOTHING_TO_VERIFY) from None


def _verify(arguments: argparse.Namespace) -> int:
    import json

    from .report_text import render_report
    from ..verification.verdicts import exit_code
    roots = load_trust_roots(arguments.trust)
    if arguments.system_trust:
        roots += system_trust_roots()
    report = verify_file(arguments.file, roots)
    if arguments.json:
        json.dump(report, sys.stdout, indent=2, ensure_ascii=False)
        sys.stdout.write("\n")
    else:
        sys.stdout.write(render_report(report))
    return exit_code(report["indication"])


def add_verify_parser(commands: argparse._SubParsersAction[argparse.ArgumentParser]) -> None:
    parser = commands.add_parser(
        "verify", help="check every signature and document timestamp of a PDF",
        description="Checks every signature and document timestamp of a PDF: coverage, later "
                    "changes, digests, signatures, certificate paths, revocation data, timestamps "
                    "and the PAdES level. Exit status 0: all TOTAL-PASSED; 1: some TOTAL-FAILED; "
                    "3: none failed, some INDETERMINATE (e.g. no trust anchor); 2: nothing to verify.")
    parser.add_argument("file", help="the PDF to verify")
    parser.add_argument("--trust", action="append", metavar="CA.pem|DIR",
                        help="a trusted root certificate (PEM or DER), or a folder of them; "
                             "may be given more than once")
    parser.add_argument("--system-trust", action="store_true",
                        help="also trust the operating system's CA bundle (%s)" % SYSTEM_BUNDLES[0])
    parser.add_argument("--json", action="store_true", help="print the report as JSON")
    parser.set_defaults(run=_verify)
