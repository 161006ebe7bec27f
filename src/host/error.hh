// Python exceptions carried through C++ code.
//
// A CPython call that fails leaves the exception in the interpreter's error
// indicator; `Error` takes it from there so that C++ unwinding (and RAII
// cleanup) can run, and `guarded` puts it back at the boundary where control
// returns to the interpreter.
#pragma once

#include "python.hh"

#include <exception>
#include <new>

namespace py {

class Object;

class Error : public std::exception {
public:
    // Takes the exception currently set in the interpreter (SystemError if none is).
    Error();
    Error(Error&&) noexcept;
    Error& operator=(Error&&) noexcept;
    Error(const Error&) = delete;
    Error& operator=(const Error&) = delete;
    ~Error() override;

    // Hands the exception back to the interpreter; this object is empty afterwards.
    void restore() noexcept;
    bool matches(PyObject* exception_type) const noexcept;
    // The exception instance (normalised on first use).
    Object value();
    // Visits the exception's objects, for the cycle collector.
    int traverse(visitproc visit, void* arg) const;
    const char* what() const noexcept override { return "Python exception"; }

private:
    PyObject* type_ = nullptr;
    PyObject* value_ = nullptr;
    PyObject* traceback_ = nullptr;
};

// Throws the exception currently set in the interpreter.
[[noreturn]] void throw_error();
// Sets `type(message)` and throws it.
[[noreturn]] void raise(PyObject* type, const char* message);
// Sets a formatted exception (PyUnicode_FromFormat rules) and throws it.
[[noreturn]] void raise_format(PyObject* type, const char* format, ...);

// Runs `body` at a boundary back into the interpreter: a C++ exception becomes
// the matching Python exception and the function returns `failure`.
template <class Body, class Result = decltype(std::declval<Body>()())>
Result guarded(Body&& body, Result failure) noexcept {
    try {
        return body();
    } catch (Error& error) {
        error.restore();
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception& error) {
        PyErr_SetString(PyExc_SystemError, error.what());
    } catch (...) {
        PyErr_SetString(PyExc_SystemError, "unknown C++ exception");
    }
    return failure;
}

}  // namespace py
