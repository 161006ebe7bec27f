// Pieces every extension module of the package shares: functions bound as
// module attributes in the order the module body runs, and the per-module
// state that holds the module's coroutine type (no process-wide state).
#pragma once

#include "coroutine.hh"
#include "documentation.hh"
#include "object.hh"

namespace py {

struct ModuleState {
    PyObject* coroutine_type;
};

int traverse_module_state(PyObject* module, visitproc visit, void* arg);
int clear_module_state(PyObject* module);
void free_module_state(void* module);

// Creates the module's coroutine type and keeps it in the module state.
void init_module_state(const Object& module, const char* coroutine_type_name);
Object coroutine_type(const Object& module);

// Binds `name = value` in the module's namespace.
void bind(const Object& module, const char* name, const Object& value);
// `from <dots><from> import a, b` executed in the module body: binds each name.
void bind_from_import(const Object& module, const char* from, int level,
                      std::initializer_list<const char*> names);
// Binds a function defined by `definition`, with the module as its `self`.
void bind_function(const Object& module, PyMethodDef* definition);

// Signature of a module function implemented in C++: it gets the module and
// the call's arguments and returns a new value or throws.
using FunctionBody = Object (*)(const Object& module, PyObject* args, PyObject* kwargs);

template <FunctionBody Body>
PyObject* function_entry(PyObject* module, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] { return Body(Object::borrow(module), args, kwargs).release(); },
                   static_cast<PyObject*>(nullptr));
}

// The definition of a module function, with its signature written as in
// Python: `function<body, "name(a, b, c=None)", "Does this.">()`.  Without a
// summary the function has a text signature but no doc string.
template <FunctionBody Body, Literal Signature, Literal Summary = "">
constexpr PyMethodDef function() {
    return PyMethodDef{name_in<Signature>,
                       reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&function_entry<Body>)),
                       METH_VARARGS | METH_KEYWORDS, function_doc<Signature, Summary>};
}

// Runs a module's exec slot body, turning C++ exceptions into the import error.
template <void (*Body)(const Object& module)>
int exec_entry(PyObject* module) noexcept {
    return guarded([&] {
        Body(Object::borrow(module));
        return 0;
    }, -1);
}

}  // namespace py
