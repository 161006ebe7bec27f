#include "coroutine.hh"

#include "documentation.hh"

namespace py {
namespace {

struct State {
    Coroutine::Handle handle;
    Object name;
    bool started = false;
    // A step is in progress: the coroutine refuses to be re-entered.
    bool running = false;

    bool finished() const noexcept { return !handle; }
    // Drops the body's frame (and every reference its locals own).  The
    // coroutine counts as finished before the destructors of the locals run
    // Python code that might look at it.
    void finish() noexcept {
        if (handle) std::exchange(handle, {}).destroy();
    }
    int traverse(visitproc visit, void* arg) const {
        Py_VISIT(name.get());
        return handle ? handle.promise().traverse(visit, arg) : 0;
    }
    ~State() { finish(); }
};

// Marks a step in progress for as long as it lives.  Every release of an
// object during a step happens inside one: a `__del__` or weakref callback
// that calls back into the coroutine then sees it executing, as it would see
// a native coroutine, instead of a half-recorded step.
class Executing {
public:
    explicit Executing(State& state) noexcept : state_(state) { state_.running = true; }
    ~Executing() { state_.running = false; }
    Executing(const Executing&) = delete;
    Executing& operator=(const Executing&) = delete;

private:
    State& state_;
};

struct CoroutineObject {
    PyObject_HEAD
    State* state;
};

State& state_of(PyObject* self) {
    State* state = reinterpret_cast<CoroutineObject*>(self)->state;
    if (state == nullptr) raise(PyExc_TypeError, "coroutine object is not initialised");
    return *state;
}

// A value sent into the coroutine, or an exception thrown into it.
struct Input {
    Object value;
    std::optional<Error> error;
};

// What one step of an awaited iterator gave.
struct Step {
    enum Kind { yielded, returned, raised } kind;
    Object value;
    std::optional<Error> error;
};

Object type_name(const Object& object) {
    return Object::steal(
        PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(object.get())), "__name__"));
}

Object await_iterator(const Object& awaitable) {
    if (!awaitable.has_attr("__await__"))
        raise_format(PyExc_TypeError, "object %U can't be used in 'await' expression",
                     type_name(awaitable).get());
    Object iterator = awaitable.attr("__await__")();
    if (!PyIter_Check(iterator.get()))
        raise_format(PyExc_TypeError, "__await__() returned non-iterator of type '%U'",
                     type_name(iterator).get());
    return iterator;
}

// One step of `yield from iterator`, with the delegation rules of PEP 380.
Step step_awaited(const Object& iterator, Input input) {
    try {
        if (input.error) {
            if (input.error->matches(PyExc_GeneratorExit)) {
                if (iterator.has_attr("close")) iterator.attr("close")();
                return Step{Step::raised, {}, std::move(input.error)};
            }
            if (!iterator.has_attr("throw")) return Step{Step::raised, {}, std::move(input.error)};
            return Step{Step::yielded, iterator.attr("throw")(input.error->value()), {}};
        }
        if (input.value.is_none()) return Step{Step::yielded, iterator.attr("__next__")(), {}};
        return Step{Step::yielded, iterator.attr("send")(input.value), {}};
    } catch (Error& error) {
        if (!error.matches(PyExc_StopIteration)) return Step{Step::raised, {}, std::move(error)};
        try {
            return Step{Step::returned, error.value().attr("value"), {}};
        } catch (Error& unreadable) {  // a StopIteration whose value cannot be read
            return Step{Step::raised, {}, std::move(unreadable)};
        }
    }
}

// The body has run to its end: raise StopIteration(result) or what it raised.
[[noreturn]] void complete(State& state) {
    CoroutinePromise& promise = state.handle.promise();
    std::exception_ptr failure = promise.failure;
    Object result = promise.result ? promise.result : none();
    state.finish();
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (Error& error) {
            if (!error.matches(PyExc_StopIteration)) throw;
            // As for native coroutines, a StopIteration must not end the await silently.
            Object cause = error.value();
            PyErr_SetString(PyExc_RuntimeError, "coroutine raised StopIteration");
            Error replacement;
            PyException_SetCause(replacement.value().get(), cause.release());
            throw replacement;
        }
    }
    Object stop = Object::steal(PyObject_CallFunctionObjArgs(PyExc_StopIteration, result.get(), nullptr));
    PyErr_SetObject(PyExc_StopIteration, stop.get());
    throw_error();
}

// Runs the coroutine with `input` until it yields to the event loop (the
// yielded value is returned) or ends (StopIteration or its error is thrown).
Object drive(State& state, Input&& input) {
    Executing executing(state);
    Input pending = std::move(input);
    CoroutinePromise& promise = state.handle.promise();
    for (;;) {
        if (promise.awaited) {
            Step step = step_awaited(promise.awaited, std::move(pending));
            if (step.kind == Step::yielded) return std::move(step.value);
            // The outcome is recorded before the finished iterator is released.
            Object finished = std::exchange(promise.awaited, Object());
            if (step.kind == Step::returned) promise.resume_value = std::move(step.value);
            else promise.resume_error = std::move(step.error);
        }
        state.started = true;
        state.handle.resume();
        if (state.handle.done()) complete(state);
        pending = Input{none(), {}};
    }
}

void check_idle(const State& state) {
    if (state.running) raise(PyExc_ValueError, "coroutine already executing");
}

// A caller may drive the coroutine through a borrowed reference that Python
// code run by the step drops: the step keeps its own.
Object keep_alive(PyObject* self) { return Object::borrow(self); }

PyObject* coroutine_send(PyObject* self, PyObject* value) {
    return guarded([&] {
        Object alive = keep_alive(self);
        State& state = state_of(self);
        check_idle(state);
        if (state.finished()) raise(PyExc_RuntimeError, "cannot reuse already awaited coroutine");
        if (!state.started && value != Py_None)
            raise(PyExc_TypeError, "can't send non-None value to a just-started coroutine");
        return drive(state, Input{Object::borrow(value), {}}).release();
    }, static_cast<PyObject*>(nullptr));
}

PyObject* coroutine_next(PyObject* self) { return coroutine_send(self, Py_None); }

// The exception that throw(type[, value[, traceback]]) asks for, as generators
// build it: the interpreter's own normalisation makes the instance, and what a
// failing class check raises becomes the exception thrown.
Error thrown_exception(PyObject* type, PyObject* value, PyObject* traceback) {
    if (value == Py_None) value = nullptr;
    Object instance;
    if (PyExceptionInstance_Check(type)) {
        if (value != nullptr) raise(PyExc_TypeError, "instance exception may not have a separate value");
        instance = Object::borrow(type);
    } else if (PyExceptionClass_Check(type)) {
        Py_INCREF(type);
        Py_XINCREF(value);
        PyErr_Restore(type, value, nullptr);
        instance = Error().value();
    } else {
        raise_format(PyExc_TypeError,
                     "exceptions must be classes or instances deriving from BaseException, not %U",
                     type_name(Object::borrow(type)).get());
    }
    if (traceback != nullptr && traceback != Py_None &&
        PyException_SetTraceback(instance.get(), traceback) < 0)
        throw_error();
    PyObject* instance_type = reinterpret_cast<PyObject*>(Py_TYPE(instance.get()));
    Py_INCREF(instance_type);
    PyErr_Restore(instance_type, instance.release(), nullptr);
    return Error();
}

PyObject* coroutine_throw(PyObject* self, PyObject* args) {
    return guarded([&] {
        Object alive = keep_alive(self);
        State& state = state_of(self);
        check_idle(state);
        PyObject* type = nullptr;
        PyObject* value = nullptr;
        PyObject* traceback = nullptr;
        if (!PyArg_UnpackTuple(args, "throw", 1, 3, &type, &value, &traceback)) throw_error();
        Error error = thrown_exception(type, value, traceback);
        if (!state.started || state.finished()) {
            // Nothing of the body runs: the exception ends the coroutine at once.
            state.finish();
            throw std::move(error);
        }
        return drive(state, Input{{}, std::move(error)}).release();
    }, static_cast<PyObject*>(nullptr));
}

PyObject* coroutine_close(PyObject* self, PyObject*) {
    return guarded([&] {
        Object alive = keep_alive(self);
        State& state = state_of(self);
        check_idle(state);
        if (!state.started || state.finished()) {
            state.finish();
            return none().release();
        }
        PyErr_SetNone(PyExc_GeneratorExit);
        try {
            drive(state, Input{{}, Error()});
        } catch (Error& error) {
            if (error.matches(PyExc_GeneratorExit) || error.matches(PyExc_StopIteration))
                return none().release();
            throw;
        }
        raise(PyExc_RuntimeError, "coroutine ignored GeneratorExit");
    }, static_cast<PyObject*>(nullptr));
}

PyObject* coroutine_await(PyObject* self) {
    Py_INCREF(self);
    return self;
}

PyObject* coroutine_await_method(PyObject* self, PyObject*) { return coroutine_await(self); }

PyObject* coroutine_get_name(PyObject* self, void*) {
    return guarded([&] { return Object(state_of(self).name).release(); }, static_cast<PyObject*>(nullptr));
}

PyObject* coroutine_get_running(PyObject* self, void*) {
    return guarded([&] { return boolean(state_of(self).running).release(); },
                   static_cast<PyObject*>(nullptr));
}

PyObject* coroutine_new(PyTypeObject*, PyObject*, PyObject*) {
    PyErr_Format(PyExc_TypeError, "cannot create '%s' instances", "coroutine");
    return nullptr;
}

// Ends a coroutine that nobody can drive any more, warning as a native one
// does when it never started.  The coroutine object itself is not handed to
// Python code: it may be on its way out.
void abandon(State& state) {
    if (!state.started && !state.finished() &&
        PyErr_WarnFormat(PyExc_RuntimeWarning, 1, "coroutine '%U' was never awaited", state.name.get()) < 0)
        PyErr_WriteUnraisable(state.name.get());
    state.finish();
}

int coroutine_traverse(PyObject* self, visitproc visit, void* arg) {
    Py_VISIT(Py_TYPE(self));
    State* state = reinterpret_cast<CoroutineObject*>(self)->state;
    return state != nullptr ? state->traverse(visit, arg) : 0;
}

// Breaks a reference cycle through a suspended coroutine by dropping its
// frame, as collecting a native coroutine's frame does.
int coroutine_clear(PyObject* self) {
    State* state = reinterpret_cast<CoroutineObject*>(self)->state;
    if (state == nullptr || state->running) return 0;
    PyObject *error_type, *error_value, *error_traceback;
    PyErr_Fetch(&error_type, &error_value, &error_traceback);
    abandon(*state);
    PyErr_Restore(error_type, error_value, error_traceback);
    return 0;
}

void coroutine_dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    PyObject_GC_UnTrack(self);
    PyObject *error_type, *error_value, *error_traceback;
    PyErr_Fetch(&error_type, &error_value, &error_traceback);
    if (State* state = std::exchange(reinterpret_cast<CoroutineObject*>(self)->state, nullptr)) {
        abandon(*state);
        delete state;
    }
    PyErr_Restore(error_type, error_value, error_traceback);
    auto free_object = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
    free_object(self);
    Py_DECREF(type);
}

PyMethodDef coroutine_methods[] = {
    {"send", coroutine_send, METH_O,
     method_doc<"send(value, /)", "Send a value into the coroutine; return the next value it yields.">},
    {"throw", coroutine_throw, METH_VARARGS,
     "throw(typ[,val[,tb]]) -> raise exception in coroutine,\nreturn next iterated value or raise StopIteration."},
    {"close", coroutine_close, METH_NOARGS, method_doc<"close()", "Raise GeneratorExit inside the coroutine.">},
    {"__await__", coroutine_await_method, METH_NOARGS,
     method_doc<"__await__()", "Return an iterator to be used in await expression.">},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef coroutine_getset[] = {
    {"__name__", coroutine_get_name, nullptr, nullptr, nullptr},
    {"__qualname__", coroutine_get_name, nullptr, nullptr, nullptr},
    {"cr_running", coroutine_get_running, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

void CoroutinePromise::PythonAwait::await_suspend(std::coroutine_handle<>) {
    // Only the iterator stays: the promise is what the cycle collector sees.
    Object awaited = std::move(awaitable);
    promise.awaited = await_iterator(awaited);
}

int CoroutinePromise::traverse(visitproc visit, void* arg) const {
    Py_VISIT(result.get());
    Py_VISIT(awaited.get());
    Py_VISIT(resume_value.get());
    return resume_error ? resume_error->traverse(visit, arg) : 0;
}

Object CoroutinePromise::PythonAwait::await_resume() {
    if (promise.resume_error) {
        Error error = std::move(*promise.resume_error);
        promise.resume_error.reset();
        throw std::move(error);
    }
    return std::exchange(promise.resume_value, Object());
}

Object create_coroutine_type(const char* qualified_name) {
    PyType_Slot slots[] = {
        {Py_tp_dealloc, reinterpret_cast<void*>(coroutine_dealloc)},
        {Py_tp_iternext, reinterpret_cast<void*>(coroutine_next)},
        {Py_tp_methods, coroutine_methods},
        {Py_tp_getset, coroutine_getset},
        {Py_tp_new, reinterpret_cast<void*>(coroutine_new)},
        {Py_am_await, reinterpret_cast<void*>(coroutine_await)},
        {Py_tp_traverse, reinterpret_cast<void*>(coroutine_traverse)},
        {Py_tp_clear, reinterpret_cast<void*>(coroutine_clear)},
        {0, nullptr},
    };
    PyType_Spec spec{qualified_name, sizeof(CoroutineObject), 0, Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC, slots};
    return Object::steal(PyType_FromSpec(&spec));
}

Object make_coroutine(const Object& type, Coroutine body, const char* name) {
    Object name_text = str(name);
    Object self = Object::steal(PyType_GenericAlloc(reinterpret_cast<PyTypeObject*>(type.get()), 0));
    reinterpret_cast<CoroutineObject*>(self.get())->state = new State{body.release(), name_text};
    return self;
}

}  // namespace py
