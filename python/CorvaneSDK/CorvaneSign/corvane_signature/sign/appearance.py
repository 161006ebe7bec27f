"""The visible form of a signature: where its widget sits and what it shows.

The widget shows a border and the given lines of text in Helvetica with
WinAnsiEncoding, a font every PDF viewer has: no font is embedded, so only
the characters of that encoding (Latin-1 and a few more) can be shown.
"""

import math
from numbers import Real
from typing import Sequence, Tuple

from ..config.errors import ConfigurationError

__all__ = ["SignatureAppearance"]

# Bytes of WinAnsiEncoding that draw nothing: control characters and the unassigned codes.
_UNSHOWN = set(range(0x20)) | {0x7F, 0x81, 0x8D, 0x8F, 0x90, 0x9D}


def _showable(line: str) -> str:
    """``line`` unchanged, or a ConfigurationError naming the characters the font lacks."""
    missing = []
    for character in line:
        try:
            code = character.encode("cp1252")[0]
        except UnicodeEncodeError:
            code = None
        if code is None or code in _UNSHOWN:
            if character not in missing:
                missing.append(character)
    if missing:
        raise ConfigurationError(
            "the appearance line %r has characters that the standard font (Helvetica, WinAnsiEncoding) "
            "cannot show: %s" % (line, ", ".join("U+%04X" % ord(character) for character in missing)))
    return line


class SignatureAppearance:
    """A visible signature: ``page`` (1-based), ``box`` (x1, y1, x2, y2) in points
    as a reader sees the page (its crop box with its rotation applied, origin
    at the lower left corner), and the ``lines`` of text to show in it."""

    def __init__(self, page: int, box: Tuple[float, float, float, float], lines: Sequence[str]) -> None:
        if isinstance(page, bool) or not isinstance(page, int) or page < 1:
            raise ConfigurationError("the appearance page must be a page number from 1 on, not %r" % (page,))
        try:
            corners = tuple(box)
        except TypeError:
            corners = ()
        if len(corners) != 4 or not all(isinstance(value, Real) and not isinstance(value, bool)
                                        and math.isfinite(value) for value in corners):
            raise ConfigurationError("the appearance box must be four finite numbers (x1, y1, x2, y2), not %r"
                                     % (box,))
        x1, y1, x2, y2 = (float(value) for value in corners)
        if x1 == x2 or y1 == y2:
            raise ConfigurationError("the appearance box %r has no area" % (box,))
        try:
            texts = tuple(lines) if not isinstance(lines, (str, bytes)) else None
        except TypeError:
            texts = None
        if texts is None or not all(isinstance(line, str) for line in texts):
            raise ConfigurationError("the appearance lines must be a sequence of str")
        self.page = page
        self.box = (min(x1, x2), min(y1, y2), max(x1, x2), max(y1, y2))
        self.lines = tuple(_showable(line) for line in texts)

    def __repr__(self) -> str:
        return "SignatureAppearance(page=%d, box=%r, lines=%r)" % (self.page, self.box, self.lines)
