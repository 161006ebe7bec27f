// C++20 coroutines that run as Python coroutine objects.
//
// A module's `async` function is a C++ coroutine returning `py::Coroutine`;
// `make_coroutine` wraps it in a Python object with send/throw/close/__await__
// /__next__, so asyncio and `await` drive it like a native coroutine.  The body
// starts at the first send.  Inside the body, `co_await obj` awaits any Python
// awaitable: what it yields goes out to the event loop, its result (or
// exception, as py::Error) comes back into the body.
#pragma once

#include "object.hh"

#include <coroutine>
#include <exception>
#include <optional>

namespace py {

class Coroutine;

struct CoroutinePromise {
    Object result;
    std::exception_ptr failure;
    // Iterator of the Python awaitable the body is suspended on.
    Object awaited;
    // What the suspended await hands back to the body when it resumes.
    Object resume_value;
    std::optional<Error> resume_error;

    Coroutine get_return_object() noexcept;
    std::suspend_always initial_suspend() const noexcept { return {}; }
    std::suspend_always final_suspend() const noexcept { return {}; }
    void return_value(Object value) noexcept { result = std::move(value); }
    void unhandled_exception() noexcept { failure = std::current_exception(); }

    struct PythonAwait {
        CoroutinePromise& promise;
        Object awaitable;
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<>);
        Object await_resume();
    };
    PythonAwait await_transform(Object awaitable) { return PythonAwait{*this, std::move(awaitable)}; }

    // Visits the Python objects the promise owns, for the cycle collector.
    int traverse(visitproc visit, void* arg) const;
};

// Owner of a suspended C++ coroutine body.
class Coroutine {
public:
    using promise_type = CoroutinePromise;
    using Handle = std::coroutine_handle<CoroutinePromise>;

    explicit Coroutine(Handle handle) noexcept : handle_(handle) {}
    Coroutine(Coroutine&& other) noexcept : handle_(std::exchange(other.handle_, {})) {}
    Coroutine& operator=(Coroutine&&) = delete;
    ~Coroutine() {
        if (handle_) handle_.destroy();
    }
    Handle release() noexcept { return std::exchange(handle_, {}); }

private:
    Handle handle_;
};

inline Coroutine CoroutinePromise::get_return_object() noexcept {
    return Coroutine(Coroutine::Handle::from_promise(*this));
}

// Creates the Python coroutine type for one module; `qualified_name` must be a
// string literal (the type keeps pointing at it), e.g. "CorvaneSDK.sign.coroutine".
Object create_coroutine_type(const char* qualified_name);

// Wraps `body` in a coroutine object of `type` named `name`.
//
// The cycle collector sees what the coroutine awaits, not the body's locals:
// a body that awaits an object it also keeps in a local (or parameter) keeps
// that object alive as long as it is suspended.  `co_await std::move(x)` hands
// the object over instead.
Object make_coroutine(const Object& type, Coroutine body, const char* name);

}  // namespace py
