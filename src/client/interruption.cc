#include "interruption.hh"

namespace corvane::client {
namespace {

bool cancellation_pending(const py::Object& task) {
    if (task.has_attr("cancelling")) {
        long count = PyLong_AsLong(task.attr("cancelling")().get());
        if (count == -1 && PyErr_Occurred()) py::throw_error();
        return count > 0;
    }
    // Before 3.11 a task records a cancel() that came while it was running
    // only in this flag; one that came while it waited has been thrown in.
    return task.has_attr("_must_cancel") && task.attr("_must_cancel").truthy();
}

}  // namespace

void raise_if_interrupted() {
    if (PyErr_CheckSignals() < 0) py::throw_error();
    // No loop can be running before asyncio is imported, and importing it only
    // to ask would cost a caller without one (the synchronous Client) more
    // than a small signing's own work.
    PyObject* loaded = PyDict_GetItemString(PyImport_GetModuleDict(), "asyncio");  // borrowed
    if (loaded == nullptr || loaded == Py_None) return;
    py::Object asyncio = py::Object::borrow(loaded);
    py::Object loop = asyncio.attr("_get_running_loop")();
    if (loop.is_none()) return;
    py::Object task = asyncio.attr("current_task")(loop);
    if (task.is_none() || !cancellation_pending(task)) return;
    PyErr_SetNone(asyncio.attr("CancelledError").get());
    py::throw_error();
}

}  // namespace corvane::client
