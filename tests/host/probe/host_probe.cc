// Coroutine functions written the way the product modules write theirs, so
// the tests can drive the bridge from asyncio and by hand.
#include "arguments.hh"
#include "coroutine.hh"
#include "module.hh"

namespace {

// Calls `on_start()` when the body starts, then returns the awaited result.
py::Coroutine await_one_body(py::Object awaitable, py::Object on_start) {
    if (!on_start.is_none()) on_start();
    py::Object result = co_await awaitable;
    co_return result;
}

py::Object await_one(const py::Object& module, PyObject* args, PyObject* kwargs) {
    static constexpr py::Parameters<2> parameters{"await_one", {"awaitable", "on_start"}, 1};
    auto [awaitable, on_start] = parameters.bind(args, kwargs);
    return py::make_coroutine(py::coroutine_type(module), await_one_body(awaitable, on_start),
                              "await_one");
}

// Awaits two objects in turn and returns both results.
py::Coroutine await_both_body(py::Object first, py::Object second) {
    py::Object a = co_await first;
    py::Object b = co_await second;
    co_return py::tuple({a, b});
}

py::Object await_both(const py::Object& module, PyObject* args, PyObject* kwargs) {
    static constexpr py::Parameters<2> parameters{"await_both", {"first", "second"}};
    auto [first, second] = parameters.bind(args, kwargs);
    return py::make_coroutine(py::coroutine_type(module), await_both_body(first, second),
                              "await_both");
}

// Returns ("raised", exception) when the awaited object raises: proves that the
// exception reached the C++ body as py::Error.
py::Coroutine await_catching_body(py::Object awaitable) {
    try {
        py::Object result = co_await awaitable;
        co_return py::tuple({py::str("returned"), result});
    } catch (py::Error& error) {
        co_return py::tuple({py::str("raised"), error.value()});
    }
}

py::Object await_catching(const py::Object& module, PyObject* args, PyObject* kwargs) {
    static constexpr py::Parameters<1> parameters{"await_catching", {"awaitable"}};
    auto [awaitable] = parameters.bind(args, kwargs);
    return py::make_coroutine(py::coroutine_type(module), await_catching_body(awaitable),
                              "await_catching");
}

// Calls `cleanup()` when its frame is torn down, however the body ends.
struct Cleanup {
    py::Object callback;
    ~Cleanup() {
        PyObject *type, *value, *traceback;
        PyErr_Fetch(&type, &value, &traceback);
        PyObject* result = PyObject_CallObject(callback.get(), nullptr);
        if (result == nullptr) PyErr_WriteUnraisable(callback.get());
        Py_XDECREF(result);
        PyErr_Restore(type, value, traceback);
    }
};

// Hands the awaitable over, so that only the awaited iterator keeps it: the
// frame then holds nothing the cycle collector cannot see.
py::Coroutine await_with_cleanup_body(py::Object awaitable, py::Object cleanup) {
    Cleanup guard{cleanup};
    co_return co_await std::move(awaitable);
}

py::Object await_with_cleanup(const py::Object& module, PyObject* args, PyObject* kwargs) {
    static constexpr py::Parameters<2> parameters{"await_with_cleanup", {"awaitable", "cleanup"}};
    auto [awaitable, cleanup] = parameters.bind(args, kwargs);
    return py::make_coroutine(py::coroutine_type(module),
                              await_with_cleanup_body(awaitable, cleanup), "await_with_cleanup");
}

void exec_module(const py::Object& module) {
    py::init_module_state(module, "_host_probe.coroutine");
    static PyMethodDef functions[] = {
        py::function<await_one, "await_one(awaitable, on_start=None)">(),
        py::function<await_both, "await_both(first, second)">(),
        py::function<await_catching, "await_catching(awaitable)">(),
        py::function<await_with_cleanup, "await_with_cleanup(awaitable, cleanup)">(),
    };
    for (PyMethodDef& definition : functions) py::bind_function(module, &definition);
}

PyModuleDef_Slot slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(py::exec_entry<exec_module>)},
    {0, nullptr},
};

PyModuleDef definition = {
    PyModuleDef_HEAD_INIT, "_host_probe", nullptr, sizeof(py::ModuleState), nullptr, slots,
    py::traverse_module_state, py::clear_module_state, py::free_module_state,
};

}  // namespace

PyMODINIT_FUNC PyInit__host_probe() { return PyModuleDef_Init(&definition); }
