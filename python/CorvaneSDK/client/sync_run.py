"""Running a procedure coroutine to its end from synchronous code.

The procedures' requests block the calling thread, and nothing they await
hands control to an event loop, so the Client drives them by hand: starting
asyncio (importing it, then a loop) costs a fresh process more than a small
signing's own work. Should a procedure ever wait for something only a loop
can give, a loop takes over from there.
"""

from __future__ import annotations

from typing import Any, Coroutine, Generator, Generic, TypeVar

__all__ = ["run_to_end"]

_T = TypeVar("_T")


def run_to_end(coroutine: Coroutine[Any, Any, _T]) -> _T:
    """The coroutine's result, or what it raises."""
    try:
        waited_for = coroutine.send(None)
    except StopIteration as done:
        return done.value  # type: ignore[no-any-return]
    import asyncio
    return asyncio.run(_finish(coroutine, waited_for))


async def _finish(coroutine: Coroutine[Any, Any, _T], waited_for: Any) -> _T:
    return await _Resumed(coroutine, waited_for)


class _Resumed(Generic[_T]):
    """The rest of a coroutine started by hand, beginning with what it waits for."""

    def __init__(self, coroutine: Coroutine[Any, Any, _T], waited_for: Any) -> None:
        self._coroutine = coroutine
        self._waited_for = waited_for

    def __await__(self) -> Generator[Any, Any, _T]:
        coroutine, waited_for = self._coroutine, self._waited_for
        while True:
            try:
                try:
                    answer = yield waited_for
                except GeneratorExit:
                    coroutine.close()
                    raise
                except BaseException as error:  # a cancellation, or what the awaited thing raised
                    waited_for = coroutine.throw(error)
                else:
                    waited_for = coroutine.send(answer)
            except StopIteration as done:
                return done.value  # type: ignore[no-any-return]
