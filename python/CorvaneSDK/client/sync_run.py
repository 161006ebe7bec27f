"""Running a procedure coroutine to its end from synchronous code.

The procedures' requests block the calling thread, and nothing they await
hands control to an event loop, so the Client drives them by hand: starting
asyncio (importing it, then a loop) costs a fresh process more than a small
signing's own work. Should a procedure ever wait for something only a loop
can give, a loop takes over from there.
"""

from __future__ import annotations

import types
from typing import Any, Coroutine, Generator, TypeVar

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
    return await _resumed(coroutine, waited_for)  # type: ignore[no-any-return]


@types.coroutine
def _resumed(coroutine: Coroutine[Any, Any, _T], waited_for: Any) -> Generator[Any, Any, _T]:
    """Hands the loop what ``coroutine`` waits for, and the answer back, to its end."""
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
