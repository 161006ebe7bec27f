#include "joining.hh"

#include "arguments.hh"
#include "engine_errors.hh"
#include "module.hh"

#include "../joined_pieces.hh"

#include <climits>
#include <memory>
#include <vector>

namespace pdfengine::binding {
namespace {

constexpr const char* kPieceKinds = "each piece must be bytes or a (file descriptor, length) tuple";

long long whole_number(PyObject* value, const char* what) {
    if (!PyLong_Check(value) || PyBool_Check(value)) py::raise_format(PyExc_TypeError, "%s must be an int", what);
    long long number = PyLong_AsLongLong(value);
    if (number == -1 && PyErr_Occurred()) {
        if (!PyErr_ExceptionMatches(PyExc_OverflowError)) py::throw_error();
        PyErr_Clear();
        py::raise_format(PyExc_ValueError, "%s is out of range", what);
    }
    if (number < 0) py::raise_format(PyExc_ValueError, "%s must not be negative", what);
    return number;
}

struct FileRange {
    int descriptor;
    long long length;
};

FileRange file_range(PyObject* item) {
    if (PyTuple_Size(item) != 2) py::raise(PyExc_TypeError, kPieceKinds);
    long long descriptor = whole_number(PyTuple_GetItem(item, 0), "a piece's file descriptor");
    if (descriptor > INT_MAX) py::raise(PyExc_ValueError, "a piece's file descriptor is out of range");
    return FileRange{static_cast<int>(descriptor), whole_number(PyTuple_GetItem(item, 1), "a piece's length")};
}

py::Object join_function(const py::Object& module, PyObject* args, PyObject* kwargs) {
    static constexpr py::Parameters<1> parameters{"join", {"pieces"}};
    auto [pieces] = parameters.bind(args, kwargs);
    if (!PyTuple_Check(pieces.get()) && !PyList_Check(pieces.get()))
        py::raise(PyExc_TypeError, "the pieces must be a tuple or a list");
    // Our own tuple: it keeps every bytes piece alive (and unchanged: bytes
    // are immutable) while the lock is released, whatever the caller's list does.
    py::Object held = py::Object::steal(PySequence_Tuple(pieces.get()));
    Py_ssize_t count = PyTuple_Size(held.get());
    std::vector<Piece> parts;
    std::vector<FileRange> files(static_cast<std::size_t>(count), FileRange{-1, 0});
    for (Py_ssize_t i = 0; i < count; ++i) {
        PyObject* item = PyTuple_GetItem(held.get(), i);
        if (PyTuple_Check(item)) {
            files[static_cast<std::size_t>(i)] = file_range(item);
        } else if (!PyBytes_Check(item)) {
            py::raise(PyExc_TypeError, kPieceKinds);
        }
    }
    // Each file is read through a descriptor of the engine's own, duplicated
    // while the caller cannot close theirs.
    run_engine(module, [&] {
        for (Py_ssize_t i = 0; i < count; ++i) {
            const FileRange& file = files[static_cast<std::size_t>(i)];
            if (file.descriptor >= 0) {
                parts.push_back(Piece{{}, std::make_shared<InputFile>(file.descriptor), file.length});
                continue;
            }
            char* data = nullptr;
            Py_ssize_t size = 0;
            if (PyBytes_AsStringAndSize(PyTuple_GetItem(held.get(), i), &data, &size) < 0) py::throw_error();
            parts.push_back(Piece::of_memory(std::string_view(data, static_cast<std::size_t>(size))));
        }
    });
    std::size_t length = run_engine(module, [&] { return joined_length(parts, PY_SSIZE_T_MAX); });
    // Filled before anything else can see it: a new bytes object is ours to write.
    py::Object joined = py::Object::steal(PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(length)));
    char* destination = PyBytes_AsString(joined.get());
    if (destination == nullptr) py::throw_error();
    run_engine_released(module, [&] { copy_pieces(parts, destination); });
    return joined;
}

PyMethodDef definition = py::function<join_function, "join(pieces)",
                                      "The pieces joined into one bytes object: each is bytes, or a "
                                      "(file descriptor, length) tuple for the file's first `length` bytes, "
                                      "read with pread. Copied without the interpreter lock.">();

}  // namespace

void bind_joining(const py::Object& module) { py::bind_function(module, &definition); }

}  // namespace pdfengine::binding
