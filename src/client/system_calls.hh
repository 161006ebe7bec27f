// Thin wrappers over the POSIX calls the output file needs: blocking calls
// run without the GIL, an interrupted call lets Python's signal handlers run
// (so Ctrl-C is not lost) and is retried, and a failure becomes the OSError
// that open() would raise, naming the file the caller asked for.
#pragma once

#include "object.hh"

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <string>

namespace corvane::client {

// Sets OSError (the errno subclass) for `error`, naming `filename`, and throws it.
[[noreturn]] void raise_os_error(int error, const py::Object& filename);

// A file descriptor that is closed when it goes out of scope.
class Descriptor {
public:
    Descriptor() noexcept = default;
    explicit Descriptor(int fd) noexcept : fd_(fd) {}
    Descriptor(Descriptor&& other) noexcept : fd_(other.release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { reset(); }

    int get() const noexcept { return fd_; }
    explicit operator bool() const noexcept { return fd_ >= 0; }
    int release() noexcept;
    void reset() noexcept;

private:
    int fd_ = -1;
};

// The path of a str, bytes or os.PathLike as the kernel takes it; raises the
// TypeError/ValueError that open() raises for anything else.
std::string file_system_path(const py::Object& path);

// open()/openat() without the GIL; -1 with errno set on failure (EINTR is retried).
int open_at(int folder, const std::string& path, int flags, mode_t mode = 0);
// fstat()/fstatat(); false with errno set on failure.
bool status_of(int fd, struct stat& status);
bool status_at(int folder, const std::string& path, struct stat& status, int flags);
// fsync() without the GIL; false with errno set on failure.
bool sync(int fd);

// Writes all of `data` (bytes-like) to `fd`, at `offset` when it is not
// negative, else at the descriptor's position, without the GIL and without
// copying it (a buffer that is not contiguous is copied once). Failures
// raise OSError naming `filename`.
void write_all(int fd, const py::Object& data, long long offset, const py::Object& filename);

}  // namespace corvane::client
