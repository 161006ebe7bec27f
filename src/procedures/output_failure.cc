#include "output_failure.hh"

namespace corvane::procedures {

void raise_output_failure(const py::Names& names, const py::Object& destination, py::Error& error) {
    py::Object cause = error.value();
    py::Object failure = names["output_failure"](destination, cause);
    PyException_SetCause(failure.get(), cause.release());  // steals the reference
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(failure.get())), failure.get());
    py::throw_error();
}

}  // namespace corvane::procedures
