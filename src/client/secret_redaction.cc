#include "secret_redaction.hh"

#include <vector>

namespace corvane::client {
namespace {

bool contains(const py::Object& text, const py::Object& part) {
    int found = PyUnicode_Contains(text.get(), part.get());
    if (found < 0) py::throw_error();
    return found == 1;
}

py::Object replaced(const py::Object& text, const py::Object& part, const py::Object& placeholder) {
    return py::Object::steal(PyUnicode_Replace(text.get(), part.get(), placeholder.get(), -1));
}

// `secret` as repr() shows it between its quotes (escapes for line breaks).
py::Object shown_form(const py::Object& secret) {
    py::Object repr = py::Object::steal(PyObject_Repr(secret.get()));
    Py_ssize_t length = PyUnicode_GetLength(repr.get());
    if (length < 0) py::throw_error();
    return py::Object::steal(PyUnicode_Substring(repr.get(), 1, length - 1));
}

// A codec error's text shows only the offending characters: keep those and
// mask the rest of the value it carries.
void mask_codec_value(const py::Object& value, const py::Object& secret) {
    if (!value.is_instance(PyExc_UnicodeEncodeError) || !value.has_attr("object")) return;
    py::Object object = value.attr("object");
    if (!PyUnicode_Check(object.get()) || !contains(object, secret)) return;
    Py_ssize_t length = PyUnicode_GetLength(object.get());
    Py_ssize_t start = PyLong_AsSsize_t(value.attr("start").get());
    Py_ssize_t end = PyLong_AsSsize_t(value.attr("end").get());
    if (PyErr_Occurred()) py::throw_error();
    if (start < 0 || end > length || start >= end) start = end = 0;
    py::Object star = py::str("*");
    py::Object masked = py::add(py::Object::steal(PySequence_Repeat(star.get(), start)),
                                py::Object::steal(PyUnicode_Substring(object.get(), start, end)));
    masked = py::add(masked, py::Object::steal(PySequence_Repeat(star.get(), length - end)));
    value.set_attr("object", masked);
}

}  // namespace

void redact_secret(py::Error& error, const py::Object& secret, const char* placeholder) {
    if (!PyUnicode_Check(secret.get()) || PyUnicode_GetLength(secret.get()) <= 0) return;
    py::Object value = error.value();
    py::Object mark = py::str(placeholder);
    std::vector<py::Object> forms{secret, shown_form(secret)};
    py::Object args = value.attr("args");
    if (PyTuple_Check(args.get())) {
        Py_ssize_t count = PyTuple_Size(args.get());
        py::Object cleaned = py::Object::steal(PyTuple_New(count));
        bool changed = false;
        for (Py_ssize_t i = 0; i < count; ++i) {
            py::Object item = py::Object::borrow(PyTuple_GetItem(args.get(), i));
            if (PyUnicode_Check(item.get())) {
                for (const py::Object& form : forms) {
                    if (PyUnicode_GetLength(form.get()) > 0 && contains(item, form)) {
                        item = replaced(item, form, mark);
                        changed = true;
                    }
                }
            }
            if (PyTuple_SetItem(cleaned.get(), i, item.release()) < 0) py::throw_error();
        }
        if (changed) value.set_attr("args", cleaned);
    }
    mask_codec_value(value, secret);
}

}  // namespace corvane::client
