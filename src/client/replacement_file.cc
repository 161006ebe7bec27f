#include "replacement_file.hh"

#include "interruption.hh"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace corvane::client {
namespace {

constexpr int kWriteFlags = O_WRONLY | O_NOCTTY;
constexpr mode_t kNewFileMode = 0666;  // less the umask, as open() creates files

bool same_file(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A short name that says where the file comes from; its length does not
// depend on the target's, so any name the folder accepts can be replaced.
std::string temporary_name() {
    static constexpr char kHex[] = "0123456789abcdef";
    std::random_device random;
    std::string name = "corvane-";
    for (int i = 0; i < 12; ++i) name += kHex[random() & 15];
    return name + ".tmp";
}

// A file mounted over a name (a bind mount) cannot be renamed over. Kernels
// before 5.8 do not tell; there only a mount of another file system is seen
// (by its device).
bool is_mount_point([[maybe_unused]] int fd) {
#ifdef STATX_ATTR_MOUNT_ROOT
    struct statx status;
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_TYPE, &status) != 0) return false;
    return (status.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 &&
           (status.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
#else
    return false;
#endif
}

// Without O_NONBLOCK again: a pipe that was opened without waiting for a
// reader is written like any other pipe.
void make_blocking(int fd) {
    int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

}  // namespace

ReplacementFile::ReplacementFile(const py::Object& target, const InputIdentity* input)
    : target_(target), input_(input) {
    if (PyLong_Check(target.get())) {
        // A descriptor is written where it stands and closed at the end, as open(fd, "wb") does.
        long value = PyLong_AsLong(target.get());
        if (value == -1 && PyErr_Occurred()) py::throw_error();
        if (value < 0) py::raise(PyExc_ValueError, "negative file descriptor");
        if (value > INT_MAX) py::raise(PyExc_OverflowError, "file descriptor is too large");
        int fd = static_cast<int>(value);
        struct stat status;
        if (!status_of(fd, status)) raise_os_error(errno, target);
        mode_ = Mode::direct;
        target_fd_ = Descriptor(fd);
        return;
    }
    std::string path = file_system_path(target);
    // No O_CREAT: a missing target is never created before the document is
    // complete. O_NONBLOCK: a pipe without a reader is told apart from a wait.
    Descriptor fd(open_at(AT_FDCWD, path, kWriteFlags | O_NONBLOCK));
    if (!fd) {
        if (errno == ENOENT) {
            prepare_new(path);
            return;
        }
        if (errno != ENXIO) raise_os_error(errno, target);
        fd = Descriptor(open_at(AT_FDCWD, path, kWriteFlags));  // wait for the pipe's reader, as open() does
        if (!fd) raise_os_error(errno, target);
    }
    open_existing(std::move(fd), false);
}

ReplacementFile::~ReplacementFile() { discard(); }

void ReplacementFile::open_existing(Descriptor target, bool created) {
    struct stat status;
    if (!status_of(target.get(), status)) raise_os_error(errno, target_);
    created_target_ = created;
    created_status_ = status;
    if (!S_ISREG(status.st_mode)) {
        make_blocking(target.get());
        mode_ = Mode::direct;
        target_fd_ = std::move(target);
        return;
    }
    int ignored;
    if (status.st_nlink == 1 && locate_folder(target.get(), status) && create_temporary(&ignored)) {
        if (adopt_owner_and_mode(status)) return;  // Mode::replace
        ::unlinkat(folder_.get(), temporary_.c_str(), 0);
        temporary_.clear();
        temporary_fd_.reset();
    }
    mode_ = Mode::deferred;
    target_fd_ = std::move(target);
}

void ReplacementFile::prepare_new(const std::string& path) {
    if (path.empty()) raise_os_error(ENOENT, target_);
    struct stat link;
    if (status_at(AT_FDCWD, path, link, AT_SYMLINK_NOFOLLOW) && S_ISLNK(link.st_mode)) {
        // A dangling symlink: open() creates the file it points at, where the
        // kernel allows it; so does this, and removes it again on failure.
        Descriptor fd(open_at(AT_FDCWD, path, kWriteFlags | O_NONBLOCK | O_CREAT, kNewFileMode));
        if (!fd) raise_os_error(errno, target_);
        return open_existing(std::move(fd), true);
    }
    std::string::size_type slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    name_ = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name_.empty()) raise_os_error(EISDIR, target_);  // "folder/": open() cannot create that either
    folder_ = Descriptor(open_at(AT_FDCWD, folder, O_PATH | O_DIRECTORY));
    if (!folder_) raise_os_error(errno, target_);
    int error = 0;
    if (!create_temporary(&error)) raise_os_error(error, target_);
}

// The folder and name of the open target, as the kernel resolved them. Known
// only when the name found there is still the file that was opened.
bool ReplacementFile::locate_folder(int fd, const struct stat& status) {
    char resolved[PATH_MAX + 1];
    std::string link = "/proc/self/fd/" + std::to_string(fd);
    ssize_t length = ::readlink(link.c_str(), resolved, sizeof resolved);
    if (length <= 0 || length >= static_cast<ssize_t>(sizeof resolved) || resolved[0] != '/') return false;
    std::string path(resolved, static_cast<std::size_t>(length));
    std::string::size_type slash = path.rfind('/');
    folder_ = Descriptor(open_at(AT_FDCWD, slash == 0 ? "/" : path.substr(0, slash), O_PATH | O_DIRECTORY));
    name_ = path.substr(slash + 1);
    struct stat found, folder;
    if (folder_ && !name_.empty() && status_at(folder_.get(), name_, found, AT_SYMLINK_NOFOLLOW) &&
        same_file(found, status) && status_of(folder_.get(), folder) && folder.st_dev == status.st_dev &&
        !is_mount_point(fd))
        return true;
    folder_.reset();
    return false;
}

bool ReplacementFile::create_temporary(int* error) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string name = temporary_name();
        temporary_fd_ = Descriptor(open_at(folder_.get(), name, O_WRONLY | O_CREAT | O_EXCL, kNewFileMode));
        if (temporary_fd_) {
            temporary_ = name;
            mode_ = Mode::replace;
            return true;
        }
        if (errno != EEXIST) break;
    }
    *error = errno;
    return false;
}

// The replacement keeps the target's owner, group and permissions; set-id
// bits are not carried over to content they were not granted for.
bool ReplacementFile::adopt_owner_and_mode(const struct stat& status) {
    struct stat made;
    if (!status_of(temporary_fd_.get(), made)) return false;
    if ((made.st_uid != status.st_uid || made.st_gid != status.st_gid) &&
        ::fchown(temporary_fd_.get(), status.st_uid, status.st_gid) != 0)
        return false;
    return ::fchmod(temporary_fd_.get(), status.st_mode & 01777) == 0;
}

py::Object ReplacementFile::file() {
    if (!file_) {
        if (mode_ == Mode::deferred) {
            file_ = py::import("io").attr("BytesIO")();
        } else {
            int fd = mode_ == Mode::replace ? temporary_fd_.get() : target_fd_.get();
            file_ = py::import("io").attr("open")(py::integer(fd), py::str("wb"),
                                                  py::kw("closefd", py::boolean(false)));
        }
    }
    return file_;
}

void ReplacementFile::write(const py::Object& data) {
    if (mode_ == Mode::deferred) {
        file().attr("write")(data);
        return;
    }
    if (file_) file_.attr("flush")();
    write_all(mode_ == Mode::replace ? temporary_fd_.get() : target_fd_.get(), data, -1, target_);
}

void ReplacementFile::commit() {
    if (file_ && mode_ != Mode::deferred) {
        file_.attr("close")();  // flushes; the descriptor stays open
        file_ = py::Object();
    }
    if (mode_ == Mode::replace) return commit_replacement();
    if (mode_ == Mode::deferred) return commit_in_place();
    target_fd_.reset();  // a device, pipe or descriptor: already written
}

void ReplacementFile::commit_replacement() {
    if (!sync(temporary_fd_.get())) raise_os_error(errno, target_);
    raise_if_interrupted();
    if (input_) input_->verify();
    if (::renameat(folder_.get(), temporary_.c_str(), folder_.get(), name_.c_str()) != 0)
        raise_os_error(errno, target_);
    temporary_.clear();
    temporary_fd_.reset();
    created_target_ = false;
    // Make the rename itself durable where the folder allows it: some file
    // systems refuse fsync on a folder, and a folder may be writable but not
    // readable. The document is in place by now, so none of that is a failure.
    Descriptor folder(open_at(folder_.get(), ".", O_RDONLY | O_DIRECTORY));
    if (folder) sync(folder.get());
    folder_.reset();
}

void ReplacementFile::commit_in_place() {
    py::Object data = file().attr("getvalue")();  // the stream's own buffer, not a copy
    Py_ssize_t size = PyObject_Length(data.get());
    if (size < 0) py::throw_error();
    raise_if_interrupted();
    if (input_) input_->verify();
    // With the space reserved first, a full disk fails before the old content is touched.
    int fd = target_fd_.get();
    if (size > 0 && ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) != 0 && errno != EOPNOTSUPP &&
        errno != ENOSYS && errno != EINVAL)
        raise_os_error(errno, target_);
    write_all(fd, data, 0, target_);
    if (::ftruncate(fd, size) != 0) raise_os_error(errno, target_);
    if (!sync(fd)) raise_os_error(errno, target_);
    created_target_ = false;
    file_ = py::Object();
    target_fd_.reset();
}

void ReplacementFile::discard() noexcept {
    if (file_) {
        PyObject *type, *value, *traceback;
        PyErr_Fetch(&type, &value, &traceback);
        try {
            if (mode_ != Mode::deferred) file_.attr("close")();
        } catch (py::Error& error) {
            error.restore();
            PyErr_WriteUnraisable(nullptr);
        }
        file_ = py::Object();
        PyErr_Restore(type, value, traceback);
    }
    temporary_fd_.reset();
    if (!temporary_.empty()) ::unlinkat(folder_.get(), temporary_.c_str(), 0);
    temporary_.clear();
    struct stat now;
    // A target this object created stays only if something else has put content in it since.
    if (created_target_ && folder_ && ::fstatat(folder_.get(), name_.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
        same_file(now, created_status_) && now.st_size == 0)
        ::unlinkat(folder_.get(), name_.c_str(), 0);
    created_target_ = false;
    target_fd_.reset();
    folder_.reset();
}

}  // namespace corvane::client
