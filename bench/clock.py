"""CPU and wall time of labelled spans of the client's work."""

import contextlib
import io
import resource
import time

__all__ = ["cpu_seconds", "Clock", "time_output_writes"]


def cpu_seconds():
    usage = resource.getrusage(resource.RUSAGE_SELF)
    return usage.ru_utime + usage.ru_stime


class Clock:
    """CPU and wall time of labelled spans, summed per label."""

    def __init__(self):
        self.spans = {}

    @contextlib.contextmanager
    def span(self, label):
        cpu, wall = cpu_seconds(), time.perf_counter()
        try:
            yield
        finally:
            total = self.spans.setdefault(label, {"cpu": 0.0, "wall": 0.0})
            total["cpu"] += cpu_seconds() - cpu
            total["wall"] += time.perf_counter() - wall

    def coroutine_function(self, function, label):
        async def timed(*args, **kwargs):
            with self.span(label):
                return await function(*args, **kwargs)
        return timed

    def method(self, owner, name, label):
        original = getattr(owner, name)

        async def timed(*args, **kwargs):
            with self.span(label):
                return await original(*args, **kwargs)
        setattr(owner, name, timed)

    def plain_method(self, owner, name, label):
        original = getattr(owner, name)

        def timed(*args, **kwargs):
            with self.span(label):
                return original(*args, **kwargs)
        setattr(owner, name, timed)


class _TimedFile:
    """A file object whose writes count as the "write" span of ``clock``."""

    def __init__(self, file, clock):
        self._file, self._clock = file, clock

    def write(self, data):
        with self._clock.span("write"):
            return self._file.write(data)

    def __getattr__(self, name):
        return getattr(self._file, name)


def time_output_writes(clock):
    """Counts the clients' writes of their output files (opened with io.open) as "write"."""
    real_open = io.open

    def timed_open(file, mode="r", *args, **kwargs):
        opened = real_open(file, mode, *args, **kwargs)
        return _TimedFile(opened, clock) if "w" in mode else opened
    io.open = timed_open
