#include "engine_state.hh"

namespace pdfengine::binding {
namespace {

EngineState* state_of(PyObject* module) { return static_cast<EngineState*>(PyModule_GetState(module)); }

}  // namespace

EngineState& engine_state(const py::Object& module) {
    EngineState* state = state_of(module.get());
    if (state == nullptr) py::throw_error();
    if (state->document_type == nullptr) py::raise(PyExc_SystemError, "the PDF engine module is not initialised");
    return *state;
}

void store_engine_state(const py::Object& module, const EngineState& values) {
    EngineState* state = state_of(module.get());
    if (state == nullptr) py::throw_error();
    clear_engine_state(module.get());
    PyObject* EngineState::*members[] = {&EngineState::document_type, &EngineState::read_error,
                                         &EngineState::encrypted_error, &EngineState::write_error,
                                         &EngineState::signing_error};
    for (auto member : members) {
        Py_XINCREF(values.*member);
        state->*member = values.*member;
    }
}

int traverse_engine_state(PyObject* module, visitproc visit, void* arg) {
    EngineState* state = state_of(module);
    if (state == nullptr) return 0;
    Py_VISIT(state->document_type);
    Py_VISIT(state->read_error);
    Py_VISIT(state->encrypted_error);
    Py_VISIT(state->write_error);
    Py_VISIT(state->signing_error);
    return 0;
}

int clear_engine_state(PyObject* module) {
    EngineState* state = state_of(module);
    if (state == nullptr) return 0;
    Py_CLEAR(state->document_type);
    Py_CLEAR(state->read_error);
    Py_CLEAR(state->encrypted_error);
    Py_CLEAR(state->write_error);
    Py_CLEAR(state->signing_error);
    return 0;
}

void free_engine_state(void* module) { clear_engine_state(static_cast<PyObject*>(module)); }

}  // namespace pdfengine::binding
