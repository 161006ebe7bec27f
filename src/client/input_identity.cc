#include "input_identity.hh"

#include "system_calls.hh"

#include <fcntl.h>

#include <optional>

namespace corvane::client {
namespace {

// The file a path names now, following symlinks as open() does; nothing when
// it is not a path or names no file.
std::optional<struct stat> named_file(const py::Object& path) {
    if (PyLong_Check(path.get())) return std::nullopt;
    std::string name;
    try {
        name = file_system_path(path);
    } catch (py::Error& error) {
        if (!error.matches(PyExc_TypeError) && !error.matches(PyExc_ValueError)) throw;
        return std::nullopt;  // opening it will say what is wrong with it
    }
    struct stat status;
    if (!status_at(AT_FDCWD, name, status, 0)) return std::nullopt;
    return status;
}

}  // namespace

InputIdentity::InputIdentity(const py::Object& input, const py::Object& output) : input_(input) {
    std::optional<struct stat> read = named_file(input);
    if (!read) return;
    std::optional<struct stat> written = named_file(output);
    if (!written || written->st_dev != read->st_dev || written->st_ino != read->st_ino) return;
    watched_ = true;
    device_ = read->st_dev;
    inode_ = read->st_ino;
}

void InputIdentity::verify() const {
    if (!watched_) return;
    std::optional<struct stat> now = named_file(input_);
    if (now && now->st_dev == device_ && now->st_ino == inode_) return;
    py::raise_format(PyExc_RuntimeError,
                     "%R was replaced or removed while it was being processed; it is left as it is "
                     "and the document made from the earlier version was not written",
                     input_.get());
}

}  // namespace corvane::client
