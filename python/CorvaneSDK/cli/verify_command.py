"""``corvane verify FILE [--trust CA.pem|DIR ...] [--system-trust] [--json]``.

Exit status: 0 when every signature and document timestamp is TOTAL-PASSED,
1 when any is TOTAL-FAILED, 3 when none failed but some are INDETERMINATE
(for instance when no trust anchor was given), 2 when there is nothing to
verify (no signatures, a file that is not a readable PDF, an unusable trust
file or folder).
"""

from __future__ import annotations

import argparse
import sys
from typing import Any, Dict, Iterable, List, Optional

from .errors import CommandError

__all__ = ["add_verify_parser", "load_trust_roots", "system_trust_roots", "verify_file"]

NOTHING_TO_VERIFY = 2

def load_trust_roots(paths: Optional[Iterable[str]]) -> List[Any]:
    """The certificates in ``paths``: PEM or DER files, or folders of them."""
    from ..verification.trust_anchors import TrustAnchorError, trust_roots
    try:
        return trust_roots(list(paths or []))
    except TrustAnchorError as error:
        raise CommandError(str(error), NOTHING_TO_VERIFY) from None


def system_trust_roots() -> List[Any]:
    """The certificates of the first operating-system bundle found."""
    from ..verification.trust_anchors import TrustAnchorError, system_trust_roots as bundle_roots
    try:
        return bundle_roots()
    except TrustAnchorError as error:
        raise CommandError(str(error), NOTHING_TO_VERIFY) from None


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
                        help="also trust the operating system's CA bundle")
    parser.add_argument("--json", action="store_true", help="print the report as JSON")
    parser.set_defaults(run=_verify)
