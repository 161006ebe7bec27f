"""The lines a batch writes to stderr, with a progress bar under them on a terminal.

The bar is drawn only when stderr is a terminal and there is something to wait
for: several files, or one large enough to take a while. Messages are written
above it, so a pipe or a log file gets the messages alone.
"""

from __future__ import annotations

import threading
import time
from typing import Optional, Sequence, TextIO

__all__ = ["Console", "LARGE_FILE"]

LARGE_FILE = 50 * 1024 * 1024
_WIDTH = 24
_TICK = 0.2  # seconds between redraws, so the elapsed time moves during a long file
_MB = 1024 * 1024


def _wants_bar(stream: TextIO, sizes: Sequence[int]) -> bool:
    try:
        terminal = stream.isatty()
    except (AttributeError, ValueError):  # a replaced or closed stream
        return False
    return terminal and (len(sizes) > 1 or any(size > LARGE_FILE for size in sizes))


class Console:
    """Messages on ``stream``; a bar over the files' sizes when that helps."""

    def __init__(self, stream: TextIO, sizes: Sequence[int]) -> None:
        self._stream = stream
        self._sizes = list(sizes)
        self._total = sum(self._sizes)
        self._done_files = 0
        self._done_bytes = 0
        self._current: Optional[str] = None
        self._started = time.monotonic()
        self._lock = threading.Lock()
        self._stop = threading.Event()
        self._ticker: Optional[threading.Thread] = None
        if _wants_bar(stream, self._sizes):
            self._ticker = threading.Thread(target=self._tick, name="corvane-progress", daemon=True)
            self._ticker.start()

    def say(self, line: str) -> None:
        with self._lock:
            self._clear()
            self._stream.write(line + "\n")
            self._draw()

    def begin(self, name: str) -> None:
        with self._lock:
            self._current, self._started = name, time.monotonic()
            self._draw()

    def end(self) -> None:
        with self._lock:
            self._done_bytes += self._sizes[self._done_files]
            self._done_files += 1
            self._current = None
            self._draw()

    def close(self) -> None:
        if self._ticker is None:
            return
        self._stop.set()
        self._ticker.join()
        with self._lock:
            self._clear()
            self._ticker = None

    def _tick(self) -> None:
        while not self._stop.wait(_TICK):
            with self._lock:
                self._draw()

    def _clear(self) -> None:
        if self._ticker is not None:
            self._stream.write("\r\x1b[K")

    def _draw(self) -> None:
        if self._ticker is None:
            return
        share = self._done_bytes / self._total if self._total else self._done_files / len(self._sizes)
        filled = int(share * _WIDTH)
        line = "\r\x1b[K[%s%s] %d/%d files" % ("#" * filled, "-" * (_WIDTH - filled), self._done_files,
                                                len(self._sizes))
        if self._total >= _MB:
            line += ", %.0f/%.0f MB" % (self._done_bytes / _MB, self._total / _MB)
        if self._current is not None:
            line += "  %s %.1f s" % (self._current, time.monotonic() - self._started)
        self._stream.write(line)
        self._stream.flush()
