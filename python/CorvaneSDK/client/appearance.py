"""Where a visible signature goes and what it shows."""

from __future__ import annotations

from typing import Optional, Sequence, Tuple

from .records import Record

__all__ = ["Appearance"]


class Appearance(Record):
    """A visible signature: on ``page`` (1 for the first), in ``box``
    (x1, y1, x2, y2 in PDF points), showing ``lines`` (by default the signer's
    name and the date)."""

    _fields = ("page", "box", "lines")
    page: int
    box: Tuple[float, float, float, float]
    lines: Optional[Tuple[str, ...]]

    def __init__(self, page: int, box: Sequence[float], lines: Optional[Sequence[str]] = None) -> None:
        if isinstance(page, bool) or not isinstance(page, int) or page < 1:
            raise ValueError("appearance page must be an int from 1, not %r" % (page,))
        corners = tuple(box)
        if len(corners) != 4 or not all(isinstance(value, (int, float)) and not isinstance(value, bool)
                                        for value in corners):
            raise ValueError("appearance box must be four numbers (x1, y1, x2, y2), not %r" % (box,))
        if corners[0] == corners[2] or corners[1] == corners[3]:
            raise ValueError("appearance box %r has no area" % (corners,))
        if lines is not None and (isinstance(lines, str) or not all(isinstance(line, str) for line in lines)):
            raise ValueError("appearance lines must be a sequence of str")
        self._set("page", page)
        self._set("box", corners)
        self._set("lines", None if lines is None else tuple(lines))
