"""Turns at the interpreter for the Client's worker threads.

The coroutine faces run their work in worker threads. Several threads doing
Python work at once fight over the interpreter lock, and the event loop's
thread then waits for many switch intervals in a row (about 100 ms with four
signings). So the workers take turns: one at a time does its computing, and
a worker that waits for the network gives its turn away meanwhile. The loop
then competes with a single worker at most.
"""

from __future__ import annotations

import contextlib
import threading
from typing import Iterator

__all__ = ["WORK_TURN"]


class WorkTurn:
    def __init__(self) -> None:
        self._lock = threading.Lock()
        self._holder = threading.local()

    @contextlib.contextmanager
    def taken(self) -> Iterator[None]:
        """Holds the turn (re-entrant within one thread)."""
        if getattr(self._holder, "held", False):
            yield
            return
        self._lock.acquire()
        self._holder.held = True
        try:
            yield
        finally:
            self._holder.held = False
            self._lock.release()

    @contextlib.contextmanager
    def given_away(self) -> Iterator[None]:
        """Lets another worker compute while this thread waits (for the network)."""
        if not getattr(self._holder, "held", False):
            yield
            return
        self._holder.held = False
        self._lock.release()
        try:
            yield
        finally:
            self._lock.acquire()
            self._holder.held = True


# One per process: the interpreter lock it rations is one per process too.
WORK_TURN = WorkTurn()
