"""``corvane verify FILE [--trust CA.pem ...] [--json]``.

Exit status: 0 when every signature and document timestamp is valid, 1 when
any is not, 2 when there is nothing to verify (no signatures, a file that is
not a readable PDF, an unusable --trust file).
"""

import json
import sys

from .errors import CommandError
from .report_text import render_report

__all__ = ["add_verify_parser", "load_trust_roots", "verify_file"]

NOTHING_TO_VERIFY = 2


def load_trust_roots(paths):
    """The certificates in the PEM or DER files ``paths``."""
    from ..CorvaneSign.corvane_certvalidator.decoding import certificates_from_bytes
    roots = []
    for path in paths or []:
        try:
            with open(path, "rb") as handle:
                roots.extend(certificates_from_bytes(handle.read()))
        except OSError as error:
            raise CommandError("cannot read the trust root file %s: %s" % (path, error.strerror),
                               NOTHING_TO_VERIFY) from None
        except ValueError as error:
            raise CommandError("the trust root file %s holds no certificate (%s)" % (path, error),
                               NOTHING_TO_VERIFY) from None
    return roots


def verify_file(path, trust_roots=()):
    """The verification report of the file at ``path``; CommandError (status 2) when there is none."""
    from ..CorvaneSign.corvane_signature.exceptions import PdfReadError
    from ..verification import NoSignaturesError, verify_pdf
    try:
        with open(path, "rb") as handle:
            data = handle.read()
    except OSError as error:
        raise CommandError("cannot read %s: %s" % (path, error.strerror), NOTHING_TO_VERIFY) from None
    try:
        return verify_pdf(data, trust_roots, file_name=path)
    except NoSignaturesError as error:
        raise CommandError("%s: nothing to verify: %s" % (path, error), NOTHING_TO_VERIFY) from None
    except PdfReadError as error:
        raise CommandError("%s is not a PDF document that can be read: %s" % (path, error),
                           NOTHING_TO_VERIFY) from None


def _verify(arguments):
    report = verify_file(arguments.file, load_trust_roots(arguments.trust))
    if arguments.json:
        json.dump(report, sys.stdout, indent=2, ensure_ascii=False)
        sys.stdout.write("\n")
    else:
        sys.stdout.write(render_report(report))
    return 0 if report["valid"] else 1


def add_verify_parser(commands):
    parser = commands.add_parser(
        "verify", help="check every signature and document timestamp of a PDF",
        description="Checks every signature and document timestamp of a PDF: coverage, later "
                    "changes, digests, signatures, certificate chains, revocation data, timestamps "
                    "and the PAdES level. Exit status 0: all valid; 1: some invalid; 2: nothing to verify.")
    parser.add_argument("file", help="the PDF to verify")
    parser.add_argument("--trust", action="append", metavar="CA.pem",
                        help="a trusted root certificate (PEM or DER); may be given more than once")
    parser.add_argument("--json", action="store_true", help="print the report as JSON")
    parser.set_defaults(run=_verify)
