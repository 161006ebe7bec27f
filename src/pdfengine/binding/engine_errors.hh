// Runs engine work for the binding: engine and qpdf failures become the
// signature library's exceptions, which the module binds as its globals
// (PdfReadError, PdfEncryptedError, SigningError, PdfWriteError).
#pragma once

#include "object.hh"

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

}  // namespace pdfengine::binding
