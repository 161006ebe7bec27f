#include "initializer.hh"

#include "arguments.hh"

namespace corvane::errors {
namespace {

struct InitializerObject {
    PyObject_HEAD
    PyObject* owner;        // the class whose __init__ this is
    PyObject* module_name;
    PyObject* annotations;
};

InitializerObject& fields(PyObject* self) { return *reinterpret_cast<InitializerObject*>(self); }

// The name Python's own argument checks print for a type: "int", "NoneType",
// "datetime.date" for static types of other modules.
py::Object type_display_name(PyObject* type_object) {
    py::Object type = py::Object::borrow(type_object);
    py::Object name = type.attr("__name__");
    if (PyType_GetFlags(reinterpret_cast<PyTypeObject*>(type_object)) & Py_TPFLAGS_HEAPTYPE) return name;
    py::Object module = type.attr("__module__");
    if (PyUnicode_CompareWithASCIIString(module.get(), "builtins") == 0) return name;
    return py::Object::steal(PyUnicode_FromFormat("%U.%U", module.get(), name.get()));
}

PyObject* initializer_call(PyObject* self, PyObject* args, PyObject* kwargs) {
    return py::guarded([&] {
        static constexpr py::Parameters<2> parameters{"__init__", {"self", "msg"}};
        auto [instance, msg] = parameters.bind(args, kwargs);
        if (!PyUnicode_CheckExact(msg.get())) {
            py::raise_format(PyExc_TypeError,
                             "Argument '%.200s' has incorrect type (expected %.200s, got %.200U)",
                             "msg", "str",
                             type_display_name(reinterpret_cast<PyObject*>(Py_TYPE(msg.get()))).get());
        }
        instance.set_attr("msg", msg);
        py::Object owner = py::Object::borrow(fields(self).owner ? fields(self).owner : Py_None);
        py::Object super = py::import("builtins").attr("super");
        super(owner, instance).attr("__init__")(msg);
        return py::none().release();
    }, static_cast<PyObject*>(nullptr));
}

// Bound to an instance it becomes a method, like a function defined in a class.
PyObject* initializer_get(PyObject* self, PyObject* instance, PyObject*) {
    return py::guarded([&] {
        if (instance == nullptr || instance == Py_None) return py::Object::borrow(self).release();
        py::Object method_type = py::import("types").attr("MethodType");
        return method_type(py::Object::borrow(self), py::Object::borrow(instance)).release();
    }, static_cast<PyObject*>(nullptr));
}

PyObject* initializer_repr(PyObject* self) {
    return PyUnicode_FromFormat("<function ConfigurationError.__init__ at %p>", self);
}

PyObject* get_name(PyObject*, void*) { return PyUnicode_FromString("__init__"); }
PyObject* get_qualname(PyObject*, void*) { return PyUnicode_FromString("ConfigurationError.__init__"); }
PyObject* get_doc(PyObject*, void*) { Py_RETURN_NONE; }

// A field is empty only after the collector cleared the object.
PyObject* field_or_none(PyObject* field) {
    PyObject* value = field != nullptr ? field : Py_None;
    Py_INCREF(value);
    return value;
}

PyObject* get_module(PyObject* self, void*) { return field_or_none(fields(self).module_name); }
PyObject* get_annotations(PyObject* self, void*) { return field_or_none(fields(self).annotations); }

// The one instance is made by make_initializer, with every field set.
PyObject* initializer_new(PyTypeObject*, PyObject*, PyObject*) {
    PyErr_SetString(PyExc_TypeError, "cannot create 'function' instances");
    return nullptr;
}

int initializer_traverse(PyObject* self, visitproc visit, void* arg) {
    Py_VISIT(Py_TYPE(self));
    Py_VISIT(fields(self).owner);
    Py_VISIT(fields(self).module_name);
    Py_VISIT(fields(self).annotations);
    return 0;
}

int initializer_clear(PyObject* self) {
    Py_CLEAR(fields(self).owner);
    Py_CLEAR(fields(self).module_name);
    Py_CLEAR(fields(self).annotations);
    return 0;
}

void initializer_dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    PyObject_GC_UnTrack(self);
    initializer_clear(self);
    reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free))(self);
    Py_DECREF(type);
}

PyGetSetDef initializer_getset[] = {
    {"__name__", get_name, nullptr, nullptr, nullptr},
    {"__qualname__", get_qualname, nullptr, nullptr, nullptr},
    {"__doc__", get_doc, nullptr, nullptr, nullptr},
    {"__module__", get_module, nullptr, nullptr, nullptr},
    {"__annotations__", get_annotations, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

py::Object initializer_type() {
    PyType_Slot slots[] = {
        {Py_tp_new, reinterpret_cast<void*>(initializer_new)},
        {Py_tp_call, reinterpret_cast<void*>(initializer_call)},
        {Py_tp_descr_get, reinterpret_cast<void*>(initializer_get)},
        {Py_tp_repr, reinterpret_cast<void*>(initializer_repr)},
        {Py_tp_getset, initializer_getset},
        {Py_tp_traverse, reinterpret_cast<void*>(initializer_traverse)},
        {Py_tp_clear, reinterpret_cast<void*>(initializer_clear)},
        {Py_tp_dealloc, reinterpret_cast<void*>(initializer_dealloc)},
        {0, nullptr},
    };
    PyType_Spec spec{"CorvaneSDK.CorvaneSign.corvane_signature.config.errors.function",
                     sizeof(InitializerObject), 0, Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC, slots};
    return py::Object::steal(PyType_FromSpec(&spec));
}

}  // namespace

py::Object make_initializer(const py::Object& module_name) {
    py::Object type = initializer_type();
    py::Object self = py::Object::steal(PyType_GenericAlloc(reinterpret_cast<PyTypeObject*>(type.get()), 0));
    py::Object annotations = py::Object::steal(PyDict_New());
    if (PyDict_SetItemString(annotations.get(), "msg", py::str("str").get()) < 0) py::throw_error();
    fields(self.get()).module_name = py::Object(module_name).release();
    fields(self.get()).annotations = annotations.release();
    return self;
}

void attach_owner(const py::Object& initializer, const py::Object& owner) {
    PyObject* previous = fields(initializer.get()).owner;
    fields(initializer.get()).owner = py::Object(owner).release();
    Py_XDECREF(previous);
}

}  // namespace corvane::errors
