#include "replacement_file.hh"

namespace corvane::client {
namespace {

// A device, a pipe or a file descriptor cannot be replaced by a rename; such
// a target is written in place, as open(target, "wb") would.
bool is_replaceable(const py::Object& os, const py::Object& target) {
    if (PyLong_Check(target.get())) return false;
    py::Object path = os.attr("fspath")(target);
    if (!os.attr("path").attr("exists")(path).truthy()) return true;
    return py::import("stat").attr("S_ISREG")(os.attr("stat")(path).attr("st_mode")).truthy();
}

// The error open() would give, naming the target rather than the temporary file.
[[noreturn]] void raise_for_target(py::Error& error, const py::Object& target) {
    if (!error.matches(PyExc_OSError)) throw std::move(error);
    py::Object cause = error.value();
    py::Object type = py::Object::borrow(reinterpret_cast<PyObject*>(Py_TYPE(cause.get())));
    py::Object replacement = type(cause.attr("errno"), cause.attr("strerror"), target);
    PyErr_SetObject(type.get(), replacement.get());
    py::throw_error();
}

py::Object exclusive_write_flags(const py::Object& os) {
    py::Object flags = py::integer(0);
    for (const char* flag : {"O_WRONLY", "O_CREAT", "O_EXCL", "O_CLOEXEC"})
        flags = py::Object::steal(PyNumber_Or(flags.get(), os.attr(flag).get()));
    return flags;
}

}  // namespace

ReplacementFile::ReplacementFile(const py::Object& target) : os_(py::import("os")) {
    py::Object open_file = py::import("io").attr("open");
    if (!is_replaceable(os_, target)) {
        file_ = open_file(target, py::str("wb"));
        return;
    }
    py::Object path = os_.attr("path");
    // Through a symlink the file it points at is replaced, as open() would write it.
    target_ = path.attr("realpath")(os_.attr("fsdecode")(target));
    bool exists = path.attr("exists")(target_).truthy();
    if (exists && !os_.attr("access")(target_, os_.attr("W_OK")).truthy()) {
        // Let open() report, in its own words, why the target cannot be written.
        open_file(target, py::str("ab")).attr("close")();
    }
    py::Object name = py::Object::steal(PyUnicode_FromFormat(
        ".%U.%U.tmp", path.attr("basename")(target_).get(),
        py::import("secrets").attr("token_hex")(py::integer(8)).get()));
    py::Object temporary = path.attr("join")(path.attr("dirname")(target_), name);
    py::Object descriptor;
    try {
        descriptor = os_.attr("open")(temporary, exclusive_write_flags(os_), py::integer(0666));
    } catch (py::Error& error) {
        raise_for_target(error, target);
    }
    temporary_ = temporary;
    try {
        if (exists) {
            py::Object mode = os_.attr("stat")(target_).attr("st_mode");
            os_.attr("chmod")(temporary_, py::import("stat").attr("S_IMODE")(mode));
        }
        file_ = open_file(descriptor, py::str("wb"));
    } catch (...) {
        if (!file_) os_.attr("close")(descriptor);
        discard();
        throw;
    }
}

ReplacementFile::~ReplacementFile() { discard(); }

void ReplacementFile::commit() {
    file_.attr("flush")();
    if (!temporary_) {  // a target written in place: nothing to rename
        file_.attr("close")();
        file_ = py::Object();
        return;
    }
    os_.attr("fsync")(file_.attr("fileno")());
    file_.attr("close")();
    file_ = py::Object();
    os_.attr("replace")(temporary_, target_);
    temporary_ = py::Object();
    // Make the rename itself durable where the folder allows it: some file
    // systems refuse fsync on a folder, and a folder may be writable but not
    // readable. The document is in place by now, so none of that is a failure.
    try {
        py::Object folder = os_.attr("open")(os_.attr("path").attr("dirname")(target_), os_.attr("O_RDONLY"));
        try {
            os_.attr("fsync")(folder);
        } catch (py::Error&) {
        }
        os_.attr("close")(folder);
    } catch (py::Error&) {
    }
}

void ReplacementFile::discard() noexcept {
    if (!file_ && !temporary_) return;
    PyObject *type, *value, *traceback;
    PyErr_Fetch(&type, &value, &traceback);
    try {
        if (file_) file_.attr("close")();
    } catch (py::Error& error) {
        error.restore();
        PyErr_WriteUnraisable(nullptr);
    }
    try {
        if (temporary_) os_.attr("unlink")(temporary_);
    } catch (py::Error& error) {
        error.restore();
        PyErr_WriteUnraisable(nullptr);
    }
    file_ = py::Object();
    temporary_ = py::Object();
    PyErr_Restore(type, value, traceback);
}

}  // namespace corvane::client
