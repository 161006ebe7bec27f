#include "prompt_interrupts.hh"

namespace corvane::client {

PromptInterrupts::PromptInterrupts() : signal_(py::import("signal")) {
    py::Object threading = py::import("threading");
    if (!threading.attr("current_thread")().is(threading.attr("main_thread")())) return;
    py::Object sigint = signal_.attr("SIGINT");
    py::Object standard = signal_.attr("default_int_handler");
    if (!signal_.attr("getsignal")(sigint).is(standard)) return;
    // asyncio installs its own handler only over the default one: a stand-in
    // that does the same (raise KeyboardInterrupt) keeps it out.
    py::Object stand_in = py::import("functools").attr("partial")(standard);
    signal_.attr("signal")(sigint, stand_in);
    handler_ = stand_in;
}

PromptInterrupts::~PromptInterrupts() {
    if (!handler_) return;
    PyObject *type, *value, *traceback;
    PyErr_Fetch(&type, &value, &traceback);
    try {
        py::Object sigint = signal_.attr("SIGINT");
        if (signal_.attr("getsignal")(sigint).is(handler_))
            signal_.attr("signal")(sigint, signal_.attr("default_int_handler"));
    } catch (py::Error& error) {
        error.restore();
        PyErr_WriteUnraisable(nullptr);
    }
    PyErr_Restore(type, value, traceback);
}

}  // namespace corvane::client
