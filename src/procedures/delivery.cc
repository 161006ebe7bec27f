#include "delivery.hh"

#include "document_output.hh"

namespace corvane::procedures {

void deliver(const py::Names& names, const py::Object& destination, const py::Object& document,
             const client::InputIdentity& input) {
    try {
        client::deliver_document(destination, document, &input);
    } catch (py::Error& error) {
        if (!error.matches(PyExc_Exception)) throw;
        py::Object cause = error.value();
        py::Object failure = names["output_failure"](destination, cause);
        PyException_SetCause(failure.get(), cause.release());  // steals the reference
        PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(failure.get())), failure.get());
        py::throw_error();
    }
}

}  // namespace corvane::procedures
