// Runs engine work for the binding: engine and qpdf failures become the
// signature library's exceptions, which the module binds as its globals
// (PdfReadError, PdfEncryptedError, SigningError, PdfWriteError).
#pragma once

#include "object.hh"

#include <exception>
#include <optional>
#include <type_traits>

namespace pdfengine::binding {

// Raises the library exception for the C++ exception being handled.
[[noreturn]] void raise_current(const py::Object& module);

template <class Body>
auto run_engine(const py::Object& module, Body&& body) -> decltype(body()) {
    try {
        return body();
    } catch (py::Error&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (...) {
        raise_current(module);
    }
}

// As run_engine, with the interpreter lock released while `body` runs, so
// that other threads run Python meanwhile: for engine work on bytes that
// Python cannot change (bytes objects, files read by descriptor). `body`
// must not touch any Python object.
template <class Body>
auto run_engine_released(const py::Object& module, Body&& body) -> decltype(body()) {
    using Result = decltype(body());
    std::exception_ptr failure;
    std::conditional_t<std::is_void_v<Result>, bool, std::optional<Result>> result{};
    PyThreadState* thread = PyEval_SaveThread();
    try {
        if constexpr (std::is_void_v<Result>) body();
        else result.emplace(body());
    } catch (...) {
        failure = std::current_exception();
    }
    PyEval_RestoreThread(thread);
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const std::bad_alloc&) {
            throw;
        } catch (...) {
            raise_current(module);
        }
    }
    if constexpr (!std::is_void_v<Result>) return std::move(*result);
}

}  // namespace pdfengine::binding
