#include "object.hh"

#include <cstdarg>

namespace py {

Error::Error() {
    PyErr_Fetch(&type_, &value_, &traceback_);
    if (type_ == nullptr) {
        PyErr_SetString(PyExc_SystemError, "error return without exception set");
        PyErr_Fetch(&type_, &value_, &traceback_);
    }
}

Error::Error(Error&& other) noexcept
    : type_(std::exchange(other.type_, nullptr)),
      value_(std::exchange(other.value_, nullptr)),
      traceback_(std::exchange(other.traceback_, nullptr)) {}

Error& Error::operator=(Error&& other) noexcept {
    if (this != &other) {
        Py_XDECREF(type_);
        Py_XDECREF(value_);
        Py_XDECREF(traceback_);
        type_ = std::exchange(other.type_, nullptr);
        value_ = std::exchange(other.value_, nullptr);
        traceback_ = std::exchange(other.traceback_, nullptr);
    }
    return *this;
}

Error::~Error() {
    Py_XDECREF(type_);
    Py_XDECREF(value_);
    Py_XDECREF(traceback_);
}

void Error::restore() noexcept {
    PyErr_Restore(std::exchange(type_, nullptr), std::exchange(value_, nullptr),
                  std::exchange(traceback_, nullptr));
}

bool Error::matches(PyObject* exception_type) const noexcept {
    return type_ != nullptr && PyErr_GivenExceptionMatches(type_, exception_type);
}

Object Error::value() {
    PyErr_NormalizeException(&type_, &value_, &traceback_);
    if (traceback_ != nullptr && value_ != nullptr && PyException_SetTraceback(value_, traceback_) < 0)
        throw_error();
    return Object::borrow(value_ != nullptr ? value_ : Py_None);
}

int Error::traverse(visitproc visit, void* arg) const {
    Py_VISIT(type_);
    Py_VISIT(value_);
    Py_VISIT(traceback_);
    return 0;
}

void throw_error() { throw Error(); }

void raise(PyObject* type, const char* message) {
    PyErr_SetString(type, message);
    throw Error();
}

void raise_format(PyObject* type, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    PyObject* message = PyUnicode_FromFormatV(format, arguments);
    va_end(arguments);
    if (message != nullptr) {
        PyErr_SetObject(type, message);
        Py_DECREF(message);
    }
    throw Error();
}

Object Object::attr(const char* name) const {
    return steal(PyObject_GetAttrString(ptr_, name));
}

bool Object::has_attr(const char* name) const {
    PyObject* value = PyObject_GetAttrString(ptr_, name);
    if (value != nullptr) {
        Py_DECREF(value);
        return true;
    }
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) throw_error();
    PyErr_Clear();
    return false;
}

void Object::set_attr(const char* name, const Object& value) const {
    if (PyObject_SetAttrString(ptr_, name, value.get()) < 0) throw_error();
}

Object Object::operator[](const Object& key) const {
    return steal(PyObject_GetItem(ptr_, key.get()));
}

Object Object::operator[](const char* key) const { return (*this)[str(key)]; }

bool Object::truthy() const {
    int result = PyObject_IsTrue(ptr_);
    if (result < 0) throw_error();
    return result != 0;
}

bool Object::is_instance(PyObject* type) const {
    int result = PyObject_IsInstance(ptr_, type);
    if (result < 0) throw_error();
    return result != 0;
}

std::string Object::text() const {
    Object as_text = steal(PyObject_Str(ptr_));
    Object utf8 = steal(PyUnicode_AsUTF8String(as_text.get()));
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(utf8.get(), &data, &size) < 0) throw_error();
    return std::string(data, static_cast<std::size_t>(size));
}

Object none() { return Object::borrow(Py_None); }

Object boolean(bool value) { return Object::borrow(value ? Py_True : Py_False); }

Object integer(long long value) { return Object::steal(PyLong_FromLongLong(value)); }

Object str(std::string_view text) {
    return Object::steal(
        PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
}

Object bytes(std::string_view data) {
    return Object::steal(
        PyBytes_FromStringAndSize(data.data(), static_cast<Py_ssize_t>(data.size())));
}

Object zero_bytes(std::size_t size) {
    Object result = Object::steal(PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(size)));
    char* data = PyBytes_AsString(result.get());
    if (data == nullptr) throw_error();
    std::fill(data, data + size, '\0');
    return result;
}

Object tuple(std::initializer_list<Object> items) {
    Object result = Object::steal(PyTuple_New(static_cast<Py_ssize_t>(items.size())));
    Py_ssize_t index = 0;
    for (const Object& item : items) {
        // PyTuple_SetItem steals the reference that the copy hands over.
        if (PyTuple_SetItem(result.get(), index++, Object(item).release()) < 0) throw_error();
    }
    return result;
}

Object list(std::initializer_list<Object> items) {
    Object result = Object::steal(PyList_New(0));
    for (const Object& item : items) {
        if (PyList_Append(result.get(), item.get()) < 0) throw_error();
    }
    return result;
}

Object dict() { return Object::steal(PyDict_New()); }

void set_item(const Object& mapping, const char* key, const Object& value) {
    if (PyObject_SetItem(mapping.get(), str(key).get(), value.get()) < 0) throw_error();
}

Object add(const Object& a, const Object& b) { return Object::steal(PyNumber_Add(a.get(), b.get())); }

bool equal(const Object& a, const Object& b) {
    return Object::steal(PyObject_RichCompare(a.get(), b.get(), Py_EQ)).truthy();
}

Object import(const char* name) { return Object::steal(PyImport_ImportModule(name)); }

namespace {

// The `import_from` step of the interpreter: an attribute of the module, or a
// submodule that is already imported, or ImportError.
Object imported_name(const Object& from, const char* name) {
    PyObject* value = PyObject_GetAttrString(from.get(), name);
    if (value != nullptr) return Object::steal(value);
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) throw_error();
    PyErr_Clear();
    Object module_name = from.has_attr("__name__") ? from.attr("__name__") : str("<unknown module name>");
    Object full_name = Object::steal(PyUnicode_FromFormat("%U.%s", module_name.get(), name));
    PyObject* submodule = PyDict_GetItem(PyImport_GetModuleDict(), full_name.get());  // borrowed
    if (submodule != nullptr) return Object::borrow(submodule);
    Object location = from.has_attr("__file__") ? from.attr("__file__") : str("unknown location");
    raise_format(PyExc_ImportError, "cannot import name '%s' from '%U' (%U)", name,
                 module_name.get(), location.get());
}

}  // namespace

std::vector<Object> import_from(const Object& module, const char* name, int level,
                                std::initializer_list<const char*> names) {
    PyObject* globals = PyModule_GetDict(module.get());  // borrowed
    if (globals == nullptr) throw_error();
    Object fromlist = Object::steal(PyList_New(0));
    for (const char* item : names) {
        if (PyList_Append(fromlist.get(), str(item).get()) < 0) throw_error();
    }
    Object from = Object::steal(
        PyImport_ImportModuleLevel(name, globals, nullptr, fromlist.get(), level));
    std::vector<Object> imported;
    for (const char* item : names) imported.push_back(imported_name(from, item));
    return imported;
}

Object global(const Object& module, const char* name) {
    PyObject* namespace_ = PyModule_GetDict(module.get());  // borrowed
    if (namespace_ == nullptr) throw_error();
    PyObject* value = PyDict_GetItemString(namespace_, name);  // borrowed
    if (value == nullptr) {
        PyObject* builtins = PyEval_GetBuiltins();  // borrowed
        if (builtins != nullptr) value = PyDict_GetItemString(builtins, name);
    }
    if (value == nullptr) raise_format(PyExc_NameError, "name '%s' is not defined", name);
    return Object::borrow(value);
}

Object Names::operator[](const char* name) const {
    if (is_module_) return global(source_, name);
    Object key = str(name);
    PyObject* value = PyObject_GetItem(source_.get(), key.get());
    if (value == nullptr && PyErr_ExceptionMatches(PyExc_KeyError)) {
        PyErr_Clear();
        raise_format(PyExc_LookupError, "the procedure's table of names has no '%s'", name);
    }
    return Object::steal(value);
}

std::vector<Object> unpack(const Object& iterable, std::size_t count) {
    PyObject* iterator = PyObject_GetIter(iterable.get());
    if (iterator == nullptr) {
        if (PyErr_ExceptionMatches(PyExc_TypeError)) {
            PyErr_Clear();
            Object type_name = Object::steal(PyObject_GetAttrString(
                reinterpret_cast<PyObject*>(Py_TYPE(iterable.get())), "__name__"));
            raise_format(PyExc_TypeError, "cannot unpack non-iterable %U object", type_name.get());
        }
        throw_error();
    }
    Object items = Object::steal(iterator);
    std::vector<Object> result;
    result.reserve(count);
    while (result.size() < count) {
        PyObject* item = PyIter_Next(items.get());
        if (item == nullptr) {
            if (PyErr_Occurred()) throw_error();
            raise_format(PyExc_ValueError, "not enough values to unpack (expected %zu, got %zu)",
                         count, result.size());
        }
        result.push_back(Object::steal(item));
    }
    PyObject* surplus = PyIter_Next(items.get());
    if (surplus != nullptr) {
        Py_DECREF(surplus);
        raise_format(PyExc_ValueError, "too many values to unpack (expected %zu)", count);
    }
    if (PyErr_Occurred()) throw_error();
    return result;
}

namespace detail {

Object CallArguments::call(const Object& callable) const {
    Object args = Object::steal(PyTuple_New(static_cast<Py_ssize_t>(positional_.size())));
    Py_ssize_t index = 0;
    for (const Object& item : positional_) {
        if (PyTuple_SetItem(args.get(), index++, Object(item).release()) < 0) throw_error();
    }
    Object keywords;
    if (!keywords_.empty()) {
        keywords = Object::steal(PyDict_New());
        for (const Keyword& keyword : keywords_) {
            if (PyDict_SetItemString(keywords.get(), keyword.name, keyword.value.get()) < 0)
                throw_error();
        }
    }
    return Object::steal(PyObject_Call(callable.get(), args.get(), keywords.get()));
}

}  // namespace detail
}  // namespace py
