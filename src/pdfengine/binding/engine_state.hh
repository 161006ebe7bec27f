// What the binding keeps per module instance: the Document type and the
// library exception classes it raises. They live in the module state, not in
// the module's namespace, so a caller rebinding `Document` or `PdfReadError`
// on the module cannot make the binding read a foreign object as a document
// or raise something that is not an exception class.
#pragma once

#include "object.hh"

namespace pdfengine::binding {

struct EngineState {
    PyObject* document_type;
    PyObject* read_error;
    PyObject* encrypted_error;
    PyObject* write_error;
    PyObject* signing_error;
};

// The state of `module`, which must be the binding module.
EngineState& engine_state(const py::Object& module);

// Owns new references to every value; the module releases them when it goes.
void store_engine_state(const py::Object& module, const EngineState& values);

int traverse_engine_state(PyObject* module, visitproc visit, void* arg);
int clear_engine_state(PyObject* module);
void free_engine_state(void* module);

}  // namespace pdfengine::binding
