"""Where a visible signature goes and what it shows."""

from __future__ import annotations

from dataclasses import dataclass
from typing import Optional, Sequence, Tuple

__all__ = ["Appearance"]


@dataclass(frozen=True)
class Appearance:
    """A visible signature: on ``page`` (1 for the first), in ``box``
    (x1, y1, x2, y2 in PDF points), showing ``lines`` (by default the signer's
    name and the date)."""

    page: int
    box: Tuple[float, float, float, float]
    lines: Optional[Sequence[str]] = None

    def __post_init__(self) -> None:
        if isinstance(self.page, bool) or not isinstance(self.page, int) or self.page < 1:
            raise ValueError("appearance page must be an int from 1, not %r" % (self.page,))
        box = tuple(self.box)
        if len(box) != 4 or not all(isinstance(value, (int, float)) and not isinstance(value, bool)
                                    for value in box):
            raise ValueError("appearance box must be four numbers (x1, y1, x2, y2), not %r" % (self.box,))
        if box[0] == box[2] or box[1] == box[3]:
            raise ValueError("appearance box %r has no area" % (box,))
        object.__setattr__(self, "box", box)
        if self.lines is not None:
            if isinstance(self.lines, str) or not all(isinstance(line, str) for line in self.lines):
                raise ValueError("appearance lines must be a sequence of str")
            object.__setattr__(self, "lines", tuple(self.lines))
