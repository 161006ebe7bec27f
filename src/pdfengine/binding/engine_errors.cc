#include "engine_errors.hh"

#include "engine_state.hh"
#include "text.hh"

#include "../errors.hh"
#include "../qpdf.hh"

#include <string>

namespace pdfengine::binding {
namespace {

[[noreturn]] void raise_library(PyObject* type, const std::string& message) {
    // Messages quote names from the document, which need not be UTF-8.
    PyErr_SetObject(type, text(message).get());
    py::throw_error();
}

PyObject* class_for(const EngineState& state, Failure failure) {
    switch (failure) {
    case Failure::read: return state.read_error;
    case Failure::encrypted: return state.encrypted_error;
    case Failure::layout: return state.signing_error;
    case Failure::write: return state.write_error;
    }
    return state.write_error;
}

}  // namespace

void raise_current(const py::Object& module) {
    const EngineState& state = engine_state(module);
    try {
        throw;
    } catch (const Error& error) {
        raise_library(class_for(state, error.failure()), error.what());
    } catch (const QPDFExc& error) {
        raise_library(state.read_error, std::string("the PDF document cannot be read: ") + error.what());
    } catch (const std::logic_error& error) {
        PyErr_Format(PyExc_SystemError, "PDF engine: %s", error.what());
        py::throw_error();
    } catch (const std::exception& error) {
        // qpdf reports objects of the wrong type and similar damage this way.
        raise_library(state.read_error, std::string("the PDF document cannot be processed: ") + error.what());
    }
}

}  // namespace pdfengine::binding
