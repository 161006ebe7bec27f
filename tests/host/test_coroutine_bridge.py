"""The C++ coroutine bridge must be indistinguishable from a native coroutine
to asyncio and to code that drives coroutines by hand."""

import asyncio
import functools
import gc
import operator
import sys
import warnings

import pytest


async def native_await_one(awaitable, on_start=None):
    if on_start is not None:
        on_start()
    return await awaitable


@pytest.fixture(params=["bridge", "native"])
def await_one(request, probe):
    return probe.await_one if request.param == "bridge" else native_await_one


class YieldTwice:
    """An awaitable whose iterator records how it was ended."""

    def __init__(self):
        self.events = []

    def __await__(self):
        try:
            yield "first"
            yield "second"
        except GeneratorExit:
            self.events.append("closed")
            raise
        except Exception as error:
            self.events.append("thrown %r" % error)
            raise
        return "done"


def test_body_starts_only_at_first_send(await_one):
    started = []
    coroutine = await_one(asyncio.sleep(0, result=5), lambda: started.append(True))
    assert asyncio.iscoroutine(coroutine)
    assert started == []
    assert asyncio.run(coroutine) == 5
    assert started == [True]


def test_awaits_futures_tasks_and_nested_coroutines(probe):
    async def main():
        loop = asyncio.get_running_loop()
        future = loop.create_future()
        loop.call_later(0.01, future.set_result, "from future")

        async def nested():
            return await probe.await_one(asyncio.sleep(0, result="deep"))

        task = asyncio.ensure_future(asyncio.sleep(0, result="from task"))
        return (await probe.await_one(future),
                await probe.await_one(nested()),
                await probe.await_one(task),
                await probe.await_both(asyncio.sleep(0, 1), asyncio.sleep(0, 2)))

    assert asyncio.run(main()) == ("from future", "deep", "from task", (1, 2))


def test_exception_of_awaited_object_reaches_the_body_and_propagates(probe, await_one):
    async def failing():
        await asyncio.sleep(0)
        raise KeyError("inner")

    with pytest.raises(KeyError, match="inner"):
        asyncio.run(await_one(failing()))
    outcome, error = asyncio.run(probe.await_catching(failing()))
    assert outcome == "raised" and isinstance(error, KeyError)


def test_throw_is_forwarded_to_the_awaited_iterator(await_one):
    awaitable = YieldTwice()
    coroutine = await_one(awaitable)
    assert coroutine.send(None) == "first"
    with pytest.raises(ValueError, match="boom"):
        coroutine.throw(ValueError("boom"))
    assert awaitable.events == ["thrown ValueError('boom')"]
    with pytest.raises(RuntimeError, match="cannot reuse already awaited coroutine"):
        coroutine.send(None)


def test_throw_before_start_ends_the_coroutine_without_running_it(await_one):
    started = []
    coroutine = await_one(YieldTwice(), lambda: started.append(True))
    with pytest.raises(KeyError):
        coroutine.throw(KeyError)
    assert started == []
    assert coroutine.close() is None


def test_close_closes_the_awaited_iterator(await_one):
    awaitable = YieldTwice()
    coroutine = await_one(awaitable)
    assert coroutine.send(None) == "first"
    assert coroutine.close() is None
    assert awaitable.events == ["closed"]
    with pytest.raises(RuntimeError):
        coroutine.send(None)


def test_manual_driving_returns_value_through_stop_iteration(await_one):
    coroutine = await_one(YieldTwice())
    assert coroutine.send(None) == "first"
    assert next(coroutine.__await__()) == "second"
    with pytest.raises(StopIteration) as stop:
        coroutine.send(None)
    assert stop.value.value == "done"


@pytest.mark.parametrize("misuse, error, text", [
    (lambda c: c.send(1), TypeError, "can't send non-None value to a just-started coroutine"),
])
def test_misuse_matches_native_coroutines(await_one, misuse, error, text):
    coroutine = await_one(YieldTwice())
    with pytest.raises(error, match=text):
        misuse(coroutine)
    coroutine.close()


def test_awaiting_a_non_awaitable_raises_type_error(await_one):
    with pytest.raises(TypeError, match="object int can't be used in 'await' expression"):
        asyncio.run(await_one(3))


def test_task_running_the_coroutine_can_be_cancelled(probe):
    cleaned = []

    async def main():
        task = asyncio.ensure_future(
            probe.await_with_cleanup(asyncio.sleep(30), lambda: cleaned.append(True)))
        await asyncio.sleep(0)
        task.cancel()
        with pytest.raises(asyncio.CancelledError):
            await task
        return task.cancelled()

    assert asyncio.run(main()) is True
    assert cleaned == [True]


def test_dropping_a_suspended_coroutine_releases_its_frame(probe):
    cleaned = []
    coroutine = probe.await_with_cleanup(YieldTwice(), lambda: cleaned.append(True))
    assert coroutine.send(None) == "first"
    del coroutine
    gc.collect()
    assert cleaned == [True]


# How an awaited iterator finishes, raised from C so that no traceback keeps
# the iterator alive past the step that finished it.
FINISHES = {
    "returns": (functools.partial(next, iter(())), StopIteration),
    "raises": (functools.partial(operator.getitem, {}, "finished"), KeyError),
}


@pytest.mark.parametrize("finish", sorted(FINISHES))
@pytest.mark.parametrize("reenter", [
    lambda c: c.send(None), lambda c: c.throw(KeyError), lambda c: c.close(),
], ids=["send", "throw", "close"])
def test_a_coroutine_cannot_be_reentered_while_it_steps(await_one, finish, reenter):
    """Releasing a finished iterator can run Python code that drives the
    coroutine again: it must find the coroutine executing, not half-stepped."""
    next_step, outcome = FINISHES[finish]
    seen = {}

    class Iterator:
        __next__ = next_step

        def __iter__(self):
            return self

        def __del__(self):
            try:
                reenter(seen["coroutine"])
            except BaseException as error:
                seen["error"] = error

    class Awaitable:
        def __await__(self):
            return Iterator()

    seen["coroutine"] = coroutine = await_one(Awaitable())
    with pytest.raises(outcome):
        coroutine.send(None)
    assert repr(seen["error"]) == repr(ValueError("coroutine already executing"))


class FailingChecks(type):
    def __instancecheck__(cls, instance):
        raise LookupError("instance check failed")

    def __subclasscheck__(cls, subclass):
        raise LookupError("subclass check failed")


class Unusual(Exception, metaclass=FailingChecks):
    pass


@pytest.mark.parametrize("value", ["text", ValueError("other")])
def test_throw_reports_what_a_failing_class_check_raises(await_one, value):
    coroutine = await_one(YieldTwice())
    coroutine.send(None)
    with pytest.raises(LookupError, match="subclass check failed"):
        coroutine.throw(Unusual, value)


def test_a_suspended_coroutine_in_an_unreachable_task_cycle_is_collected(probe):
    """Task -> coroutine -> awaited future -> Task: the collector must see the
    coroutine's part of the cycle, and freeing it must free the C++ frame."""
    cleaned = []

    async def abandon_a_task():
        loop = asyncio.get_running_loop()
        loop.set_exception_handler(lambda loop, context: None)  # "Task was destroyed but it is pending!"
        task = loop.create_task(
            probe.await_with_cleanup(loop.create_future(), lambda: cleaned.append(True)))
        await asyncio.sleep(0)
        assert not task.done()
        del task
        gc.collect()
        return list(cleaned)

    assert asyncio.run(abandon_a_task()) == [True]


def test_a_coroutine_dropped_by_its_driver_during_a_step_finishes_the_step(probe):
    """A Task drives its coroutine through its own reference, which
    re-initialising the task drops while the step runs."""
    state = {"cleaned": [], "replacement": asyncio.sleep(0)}

    class Reinitialising:
        def __iter__(self):
            return self

        def __next__(self):
            state.pop("task").__init__(state["replacement"])
            gc.collect()
            raise StopIteration("stepped")

    class Awaitable:
        def __await__(self):
            return Reinitialising()

    async def main():
        asyncio.get_running_loop().set_exception_handler(lambda loop, context: None)
        state["task"] = asyncio.ensure_future(
            probe.await_with_cleanup(Awaitable(), lambda: state["cleaned"].append(True)))
        await asyncio.sleep(0.01)

    asyncio.run(main())
    state["replacement"].close()  # the re-initialised task may never run it
    assert state["cleaned"] == [True]


def test_never_awaited_coroutine_warns_like_a_native_one(probe):
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        coroutine = probe.await_one(YieldTwice())
        del coroutine
        gc.collect()
    assert [str(w.message) for w in caught] == ["coroutine 'await_one' was never awaited"]


def test_never_awaited_warning_raised_as_an_error_is_reported(await_one, monkeypatch):
    reported = []
    monkeypatch.setattr(sys, "unraisablehook", lambda report: reported.append(str(report.exc_value)))
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        coroutine = await_one(YieldTwice())
        del coroutine
        gc.collect()
    assert reported == ["coroutine '%s' was never awaited" % await_one.__name__]


@pytest.mark.parametrize("call, message", [
    (lambda f: f(), "await_one() missing 1 required positional argument: 'awaitable'"),
    (lambda f: f(1, 2, 3), "await_one() takes from 1 to 2 positional arguments but 3 were given"),
    (lambda f: f(1, awaitable=2), "await_one() got multiple values for argument 'awaitable'"),
    (lambda f: f(1, colour=2), "await_one() got an unexpected keyword argument 'colour'"),
])
def test_argument_errors_are_raised_at_call_time(probe, call, message):
    with pytest.raises(TypeError) as error:
        call(probe.await_one)
    assert str(error.value) == message
