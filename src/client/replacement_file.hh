// Output that never leaves a partial file: the document is written to a new
// file beside the target and renamed over it only once it is complete, so a
// failure leaves an existing file untouched (and the input, when it is the
// same path, intact).  The new file gets the mode that open(target, "wb")
// would give it: an existing file's mode, else 0666 less the umask.
#pragma once

#include "object.hh"

namespace corvane::client {

class ReplacementFile {
public:
    // Opens the temporary file; raises what open(target, "wb") would raise for
    // a target that cannot be written.
    explicit ReplacementFile(const py::Object& target);
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;
    // Without commit(), the temporary file is closed and removed.
    ~ReplacementFile();

    // The binary file object to write the document into.
    const py::Object& file() const noexcept { return file_; }
    // Flushes the data to disk and puts the file in place of the target.
    void commit();

private:
    void discard() noexcept;

    py::Object os_;
    py::Object target_;        // path that is replaced (symlinks resolved)
    py::Object temporary_;     // file being written until commit; none when the target is written in place
    py::Object file_;
};

}  // namespace corvane::client
