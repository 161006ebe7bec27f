"""Options of ``corvane sign`` that shape the signature, checked while parsing.

A bad value stops the command before any file is read or any request made.
"""

from __future__ import annotations

import argparse
import math
from typing import Any, Dict, Tuple

__all__ = ["LEVELS", "add_signature_options", "positive_seconds", "signature_options", "visible_box"]

LEVELS = ("B-B", "B-T", "B-LT", "B-LTA")

Box = Tuple[int, Tuple[float, float, float, float]]


def visible_box(text: str) -> Box:
    """``PAGE:X1,Y1,X2,Y2``: a 1-based page and a rectangle in PDF points."""
    page, colon, corners = text.partition(":")
    try:
        number = int(page)
        x1, y1, x2, y2 = (float(value) for value in corners.split(","))
    except ValueError:
        raise argparse.ArgumentTypeError("expected PAGE:X1,Y1,X2,Y2, e.g. 1:36,36,236,96, not %r" % text) from None
    if not colon or number < 1:
        raise argparse.ArgumentTypeError("the page of %r must be a number from 1" % text)
    if not all(math.isfinite(value) for value in (x1, y1, x2, y2)) or x1 == x2 or y1 == y2:
        raise argparse.ArgumentTypeError("the rectangle of %r has no area" % text)
    return number, (min(x1, x2), min(y1, y2), max(x1, x2), max(y1, y2))


def positive_seconds(text: str) -> float:
    try:
        seconds = float(text)
    except ValueError:
        seconds = math.nan
    if not (math.isfinite(seconds) and seconds > 0):
        raise argparse.ArgumentTypeError("expected a number of seconds above 0, not %r" % text)
    return seconds


def _field_name(text: str) -> str:
    if not text.strip():
        raise argparse.ArgumentTypeError("the field name is empty")
    return text


def add_signature_options(parser: argparse.ArgumentParser) -> None:
    group = parser.add_argument_group("the signature")
    group.add_argument("--field", type=_field_name,
                       help="signature field to fill or create (default: the first free SignatureN)")
    group.add_argument("--reason", help="reason for signing (default: the text the service's answer gives)")
    group.add_argument("--location", help="where the document was signed")
    group.add_argument("--contact", help="how to reach the signer")
    group.add_argument("--visible", type=visible_box, metavar="PAGE:X1,Y1,X2,Y2",
                       help="show the signature on PAGE (from 1) in this rectangle, in points "
                            "from the page's lower left corner")
    group.add_argument("--certify", type=int, choices=(1, 2, 3), metavar="N",
                       help="certify the document; later changes allowed: 1 none, 2 form filling "
                            "and signing, 3 also annotations")
    group.add_argument("--level", choices=LEVELS, help="PAdES level to reach (default: B-LTA)")


def signature_options(arguments: argparse.Namespace) -> Dict[str, Any]:
    """The keyword arguments of the client's sign() that the options set."""
    options: Dict[str, Any] = {
        "pki": arguments.pki, "user_id": arguments.user_id, "email": arguments.email,
        "field": arguments.field, "reason": arguments.reason, "location": arguments.location,
        "contact": arguments.contact, "certify": arguments.certify}
    if arguments.level is not None:
        options["level"] = arguments.level
    if arguments.visible is not None:
        from ..client import Appearance
        page, box = arguments.visible
        options["appearance"] = Appearance(page, box)  # showing the signer's name and the date
    return options
