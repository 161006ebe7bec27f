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

// Slices written in one system call: large enough to be fast, small enough
// that the copy out of the document is no burden.
constexpr Py_ssize_t kSliceSize = 8 << 20;

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
    Py_ssize_t total = PyObject_Length(data.get());
    if (total < 0) py::throw_error();
    for (Py_ssize_t start = 0; start < total;) {
        Py_ssize_t end = total - start > kSliceSize ? start + kSliceSize : total;
        py::Object slice = py::Object::steal(PyBytes_FromObject(
            py::Object::steal(PySequence_GetSlice(data.get(), start, end)).get()));
        char* bytes = nullptr;
        Py_ssize_t size = 0;
        if (PyBytes_AsStringAndSize(slice.get(), &bytes, &size) < 0) py::throw_error();
        while (size > 0) {
            ssize_t written = without_gil([&] {
                return offset >= 0 ? ::pwrite(fd, bytes, static_cast<std::size_t>(size), offset + start)
                                   : ::write(fd, bytes, static_cast<std::size_t>(size));
            });
            if (written < 0) raise_os_error(errno, filename);
            bytes += written;
            size -= written;
            start += written;
        }
    }
}

}  // namespace corvane::client
