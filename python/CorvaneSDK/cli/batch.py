"""Which files a command reads and writes, and running it over each of them.

``IN OUT`` is one job; ``IN... --out-dir DIR`` is one job per input, written
to DIR under the input's own name. ``-`` reads standard input or writes
standard output. A failing file is reported on its own line and the batch
goes on; the exit code is the worst of all.
"""

from __future__ import annotations

import contextlib
import os
import signal
import sys
import threading
from types import FrameType
from typing import Callable, Iterator, List, NamedTuple, NoReturn, Optional, Sequence

from .errors import BAD_INPUT, CommandError
from .progress import Console

__all__ = ["STREAM", "Job", "plan", "run"]

STREAM = "-"


class Job(NamedTuple):
    source: str       # a path, or STREAM for standard input
    destination: str  # a path, or STREAM for standard output


def plan(paths: Sequence[str], out_dir: Optional[str]) -> List[Job]:
    """The jobs named on the command line; CommandError (bad input) when they make no sense."""
    if out_dir is None:
        if len(paths) != 2:
            raise CommandError("give IN OUT, or several inputs with --out-dir DIR", BAD_INPUT)
        return [Job(paths[0], paths[1])]
    if STREAM in paths:
        raise CommandError("standard input has no name to write under --out-dir", BAD_INPUT)
    names = [os.path.basename(path) for path in paths]
    repeated = sorted({name for name in names if names.count(name) > 1})
    if repeated:
        # Same base name in DIR: the later output would silently replace the earlier one.
        raise CommandError("several inputs would be written to the same output: %s" % ", ".join(repeated),
                           BAD_INPUT)
    try:
        os.makedirs(out_dir, exist_ok=True)
    except OSError as error:
        raise CommandError("cannot use --out-dir %s: %s" % (out_dir, error.strerror), BAD_INPUT) from None
    return [Job(path, os.path.join(out_dir, name)) for path, name in zip(paths, names)]


def _size(path: str) -> int:
    try:
        return 0 if path == STREAM else os.stat(path).st_size
    except OSError:
        return 0  # reported when the job reads it


@contextlib.contextmanager
def _terminated_by_exception() -> Iterator[None]:
    """SIGTERM ends the command by an exception rather than on the spot, so
    an unfinished output file is removed on the way out."""
    if threading.current_thread() is not threading.main_thread():
        yield
        return

    def terminate(signum: int, frame: Optional[FrameType]) -> NoReturn:
        raise SystemExit(128 + signum)

    previous = signal.signal(signal.SIGTERM, terminate)
    try:
        yield
    finally:
        signal.signal(signal.SIGTERM, previous if previous is not None else signal.SIG_DFL)


def run(jobs: Sequence[Job], operate: Callable[[Job], str], prefix: str) -> int:
    """Runs ``operate`` on each job (it returns the line telling what it did);
    the exit code is 0, or the highest code of the failures."""
    console = Console(sys.stderr, [_size(job.source) for job in jobs])
    worst = 0
    try:
        with _terminated_by_exception():
            for job in jobs:
                console.begin(os.path.basename(job.source) if job.source != STREAM else "stdin")
                try:
                    console.say(operate(job))
                except CommandError as error:
                    label = "" if len(jobs) == 1 else "%s: " % job.source
                    console.say("%s: %s%s" % (prefix, label, error))
                    worst = max(worst, error.status)
                console.end()
    finally:
        console.close()
    return worst
