#include "system_calls.hh"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <utility>

namespace corvane::client {
namespace {

// Runs `call` with the GIL released; while it fails with EINTR, lets the
// interpreter run its signal handlers (which may raise) and tries again.
template <class Call>
auto without_gil(Call&& call) {
    for (;;) {
        PyThreadState* state = PyEval_SaveThread();
        auto result = call();
        int error = errno;
        PyEval_RestoreThread(state);
        if (result >= 0 || error != EINTR) {
            errno = error;
            return result;
        }
        if (PyErr_CheckSignals() < 0) py::throw_error();
    }
}

// Writes `size` bytes that stay put while the GIL is released, at `offset`
// when it is not negative, else at the descriptor's position.
void write_span(int fd, const char* bytes, Py_ssize_t size, long long offset, const py::Object& filename) {
    while (size > 0) {
        ssize_t written = without_gil([&] {
            return offset >= 0 ? ::pwrite(fd, bytes, static_cast<std::size_t>(size), offset)
                               : ::write(fd, bytes, static_cast<std::size_t>(size));
        });
        if (written <= 0) raise_os_error(written < 0 ? errno : EIO, filename);  // 0: the file takes no more
        bytes += written;
        size -= written;
        if (offset >= 0) offset += written;
    }
}

}  // namespace

[[noreturn]] void raise_os_error(int error, const py::Object& filename) {
    errno = error;
    PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, filename.get());
    py::throw_error();
}

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
    if (this != &other) {
        reset();
        fd_ = other.release();
    }
    return *this;
}

int Descriptor::release() noexcept { return std::exchange(fd_, -1); }

void Descriptor::reset() noexcept {
    // close() is not retried on EINTR: on Linux the descriptor is gone either way.
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
}

std::string file_system_path(const py::Object& path) {
    PyObject* converted = nullptr;
    if (!PyUnicode_FSConverter(path.get(), &converted)) py::throw_error();
    py::Object encoded = py::Object::steal(converted);
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(encoded.get(), &data, &size) < 0) py::throw_error();
    return std::string(data, static_cast<std::size_t>(size));
}

int open_at(int folder, const std::string& path, int flags, mode_t mode) {
    return without_gil([&] { return ::openat(folder, path.c_str(), flags | O_CLOEXEC, mode); });
}

bool status_of(int fd, struct stat& status) { return ::fstat(fd, &status) == 0; }

bool status_at(int folder, const std::string& path, struct stat& status, int flags) {
    return without_gil([&] { return ::fstatat(folder, path.c_str(), &status, flags); }) == 0;
}

bool sync(int fd) {
    return without_gil([&] { return ::fsync(fd); }) == 0;
}

void write_all(int fd, const py::Object& data, long long offset, const py::Object& filename) {
    if (PyBytes_Check(data.get())) {
        // Immutable, and held by the caller: written where it lies, in one go.
        char* bytes = nullptr;
        Py_ssize_t size = 0;
        if (PyBytes_AsStringAndSize(data.get(), &bytes, &size) < 0) py::throw_error();
        return write_span(fd, bytes, size, offset, filename);
    }
    py::Object view = py::Object::steal(PyMemoryView_FromObject(data.get()));
    if (!view.attr("c_contiguous").truthy()) return write_all(fd, view.attr("tobytes")(), offset, filename);
    // Any other buffer may change once the GIL is released: os.write holds an
    // export of it meanwhile (so it cannot be resized) and writes it where it
    // lies, without a copy.
    py::Object flat = view.attr("cast")(py::str("B"));
    Py_ssize_t total = PyObject_Length(flat.get());
    if (total < 0) py::throw_error();
    py::Object write = py::import("os").attr(offset >= 0 ? "pwrite" : "write");
    for (Py_ssize_t start = 0; start < total;) {
        py::Object rest = py::Object::steal(PySequence_GetSlice(flat.get(), start, total));
        py::Object written;
        try {
            written = offset >= 0 ? write(py::integer(fd), rest, py::integer(offset + start))
                                  : write(py::integer(fd), rest);
        } catch (py::Error& error) {
            if (!error.matches(PyExc_OSError)) throw;
            py::Object number = error.value().attr("errno");
            if (!PyLong_Check(number.get())) throw;
            raise_os_error(static_cast<int>(PyLong_AsLong(number.get())), filename);
        }
        long long count = PyLong_AsLongLong(written.get());
        if (count == -1 && PyErr_Occurred()) py::throw_error();
        if (count <= 0) raise_os_error(EIO, filename);
        start += static_cast<Py_ssize_t>(count);
        rest.attr("release")();
    }
    flat.attr("release")();
    view.attr("release")();
}

}  // namespace corvane::client
