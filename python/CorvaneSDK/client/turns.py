"""Turns at the interpreter for the Client's worker threads, and how a
cancelled coroutine face stops its worker.

The coroutine faces run their work in worker threads. Several threads doing
Python work at once fight over the interpreter lock, and the event loop's
thread then waits for many switch intervals in a row (about 100 ms with four
signings). So the workers take turns: one at a time does its computing, and
a worker that waits for the network gives its turn away meanwhile. The loop
then competes with a single computing worker.

A worker whose caller was cancelled stops at its next request (before it is
sent or once it is answered), so nothing is written after the cancellation
landed, unless the last request had been answered already.
"""

from __future__ import annotations

import contextlib
import threading
from typing import Iterator, Optional

__all__ = ["WORK_TURN"]


class WorkTurn:
    def __init__(self) -> None:
        self._lock = threading.Lock()
        self._holder = threading.local()

    def _stop(self) -> Optional[threading.Event]:
        return getattr(self._holder, "stop", None)

    @contextlib.contextmanager
    def taken(self, stop: threading.Event) -> Iterator[None]:
        """Holds the turn for this thread's work, which ``stop`` cancels."""
        self._lock.acquire()
        self._holder.held, self._holder.stop = True, stop
        try:
            yield
        finally:
            self._holder.held, self._holder.stop = False, None
            self._lock.release()

    def _check(self) -> None:
        stop = self._stop()
        if stop is not None and stop.is_set():
            # A stop is set only by a cancelled coroutine face, so asyncio is loaded.
            from asyncio import CancelledError
            raise CancelledError()

    @contextlib.contextmanager
    def given_away(self) -> Iterator[None]:
        """Lets another worker compute while this thread waits (for the network)."""
        if not getattr(self._holder, "held", False):
            yield
            return
        self._check()
        self._holder.held = False
        self._lock.release()
        try:
            yield
        finally:
            self._lock.acquire()
            self._holder.held = True
        self._check()


# One per process: the interpreter lock it rations is one per process too.
WORK_TURN = WorkTurn()
