#include "engine_errors.hh"

#include "../errors.hh"
#include "../qpdf.hh"

#include <string>

namespace pdfengine::binding {
namespace {

[[noreturn]] void raise_library(const py::Object& module, const char* class_name, const std::string& message) {
    py::Object type = py::global(module, class_name);
    PyErr_SetObject(type.get(), py::str(message).get());
    py::throw_error();
}

const char* class_for(Failure failure) {
    switch (failure) {
    case Failure::read: return "PdfReadError";
    case Failure::encrypted: return "PdfEncryptedError";
    case Failure::layout: return "SigningError";
    case Failure::write: return "PdfWriteError";
    }
    return "PdfWriteError";
}

}  // namespace

void raise_current(const py::Object& module) {
    try {
        throw;
    } catch (const Error& error) {
        raise_library(module, class_for(error.failure()), error.what());
    } catch (const QPDFExc& error) {
        raise_library(module, "PdfReadError", std::string("the PDF document cannot be read: ") + error.what());
    } catch (const std::logic_error& error) {
        PyErr_Format(PyExc_SystemError, "PDF engine: %s", error.what());
        py::throw_error();
    } catch (const std::exception& error) {
        // qpdf reports objects of the wrong type and similar damage this way.
        raise_library(module, "PdfReadError", std::string("the PDF document cannot be processed: ") + error.what());
    }
}

}  // namespace pdfengine::binding
