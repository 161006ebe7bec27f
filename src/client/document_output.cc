#include "document_output.hh"

#include "replacement_file.hh"

namespace corvane::client {
namespace {

// Large enough that a big document takes few calls, small enough that a
// slow stream is not handed hundreds of megabytes at once.
constexpr Py_ssize_t kPiece = 1 << 20;

void write_to_stream(const py::Object& stream, const py::Object& document) {
    py::Object view = py::Object::steal(PyMemoryView_FromObject(document.get()));
    Py_ssize_t length = PyObject_Length(view.get());
    if (length < 0) py::throw_error();
    py::Object write = stream.attr("write");
    for (Py_ssize_t start = 0; start < length;) {
        Py_ssize_t end = start + kPiece < length ? start + kPiece : length;
        py::Object piece = py::Object::steal(PySequence_GetSlice(view.get(), start, end));
        py::Object written = write(piece);
        // A raw stream may take less than it was given (None: nothing, for now).
        long long count = written.is_none() ? 0 : PyLong_AsLongLong(written.get());
        if (count == -1 && PyErr_Occurred()) py::throw_error();
        if (count <= 0 || count > end - start) {
            py::raise_format(PyExc_OSError, "the output stream took %lld of %zd bytes", count, end - start);
        }
        start += static_cast<Py_ssize_t>(count);
    }
    if (stream.has_attr("flush")) stream.attr("flush")();
    view.attr("release")();
}

}  // namespace

void deliver_document(const py::Object& destination, const py::Object& document, const InputIdentity* input) {
    if (destination.is_none()) return;
    if (destination.has_attr("write")) return write_to_stream(destination, document);
    ReplacementFile file(destination, input);
    file.write(document);
    file.commit();
}

}  // namespace corvane::client
