#include "piece.hh"

#include "errors.hh"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace pdfengine {
namespace {

[[noreturn]] void fail_reading(const std::string& what) {
    fail(Failure::read, "the input file cannot be read: " + what);
}

}  // namespace

InputFile::InputFile(int descriptor) {
    descriptor_ = fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    if (descriptor_ < 0) fail_reading(std::strerror(errno));
    struct stat status {};
    if (fstat(descriptor_, &status) != 0) {
        int error = errno;
        close(descriptor_);
        fail_reading(std::strerror(error));
    }
    if (!S_ISREG(status.st_mode)) {
        close(descriptor_);
        fail_reading("it is not a regular file");
    }
    size_ = static_cast<qpdf_offset_t>(status.st_size);
}

InputFile::~InputFile() { close(descriptor_); }

void InputFile::read_exactly(char* buffer, std::size_t length, qpdf_offset_t offset) const {
    std::size_t done = 0;
    while (done < length) {
        ssize_t got = pread(descriptor_, buffer + done, length - done, static_cast<off_t>(offset) + done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) fail_reading(std::strerror(errno));
        if (got == 0) fail_reading("it became shorter while it was being read");
        done += static_cast<std::size_t>(got);
    }
}

}  // namespace pdfengine
