// Module CorvaneSDK.CorvaneSign.corvane_signature.config.errors: defines
// ConfigurationError and nothing else.
#include "initializer.hh"
#include "module.hh"

namespace corvane::errors {
namespace {

constexpr const char* kModuleName = "CorvaneSDK.CorvaneSign.corvane_signature.config.errors";

void exec_module(const py::Object& module) {
    py::Object module_name = py::str(kModuleName);
    py::Object initializer = make_initializer(module_name);
    py::Object namespace_ = py::Object::steal(PyDict_New());
    if (PyDict_SetItemString(namespace_.get(), "__init__", initializer.get()) < 0) py::throw_error();
    py::Object configuration_error = py::Object::steal(PyErr_NewExceptionWithDoc(
        "CorvaneSDK.CorvaneSign.corvane_signature.config.errors.ConfigurationError",
        "Signal configuration errors.", PyExc_ValueError, namespace_.get()));
    attach_owner(initializer, configuration_error);
    py::bind(module, "ConfigurationError", configuration_error);
}

PyModuleDef_Slot slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(py::exec_entry<exec_module>)},
    {0, nullptr},
};

PyModuleDef definition = {
    PyModuleDef_HEAD_INIT, kModuleName, nullptr, 0, nullptr, slots, nullptr, nullptr, nullptr,
};

}  // namespace
}  // namespace corvane::errors

PyMODINIT_FUNC PyInit_errors() { return PyModuleDef_Init(&corvane::errors::definition); }
