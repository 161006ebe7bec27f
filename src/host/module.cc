#include "module.hh"

namespace py {
namespace {

ModuleState* state_of(PyObject* module) {
    return static_cast<ModuleState*>(PyModule_GetState(module));
}

}  // namespace

int traverse_module_state(PyObject* module, visitproc visit, void* arg) {
    if (ModuleState* state = state_of(module)) Py_VISIT(state->coroutine_type);
    return 0;
}

int clear_module_state(PyObject* module) {
    if (ModuleState* state = state_of(module)) Py_CLEAR(state->coroutine_type);
    return 0;
}

void free_module_state(void* module) { clear_module_state(static_cast<PyObject*>(module)); }

void init_module_state(const Object& module, const char* coroutine_type_name) {
    ModuleState* state = state_of(module.get());
    if (state == nullptr) throw_error();
    PyObject* previous = state->coroutine_type;
    state->coroutine_type = create_coroutine_type(coroutine_type_name).release();
    Py_XDECREF(previous);
}

Object coroutine_type(const Object& module) {
    ModuleState* state = state_of(module.get());
    if (state == nullptr) throw_error();
    if (state->coroutine_type == nullptr) raise(PyExc_SystemError, "module state is not initialised");
    return Object::borrow(state->coroutine_type);
}

void bind(const Object& module, const char* name, const Object& value) {
    module.set_attr(name, value);
}

void bind_from_import(const Object& module, const char* from, int level,
                      std::initializer_list<const char*> names) {
    std::vector<Object> imported = import_from(module, from, level, names);
    auto value = imported.begin();
    for (const char* name : names) bind(module, name, *value++);
}

void bind_function(const Object& module, PyMethodDef* definition) {
    Object module_name = module.attr("__name__");
    Object function = Object::steal(PyCFunction_NewEx(definition, module.get(), module_name.get()));
    bind(module, definition->ml_name, function);
}

}  // namespace py
