// Output that behaves like open(target, "wb") but never leaves a partial
// file: the document goes to a new file beside the target and is renamed over
// it only once complete, so a failure or an interruption leaves an existing
// file untouched (and the input, when it is the same path, intact).
//
// The target is opened by the kernel, with open()'s symlink rules and errors;
// its real folder and name come from the open descriptor. The new file gets
// the target's owner, group and mode (without set-id bits), or, for a new
// target, the mode open() would give it. It is named "corvane-<hex>.tmp",
// whatever the target's name.
//
// Written in place instead, as open() would write them:
// - devices, pipes and file descriptors (at once, as the document is written);
// - after the document is complete: a target with several hard links (so the
//   links keep sharing it), a target whose owner cannot be given to a new
//   file, or one beside which no new file can be made. Space for the document
//   is reserved first where the file system allows it; the old content is
//   overwritten from the start and cut to the document's length.
#pragma once

#include "input_identity.hh"
#include "object.hh"
#include "system_calls.hh"

#include <string>
#include <sys/stat.h>

namespace corvane::client {

class ReplacementFile {
public:
    // Opens the target; raises what open(target, "wb") would raise for a
    // target that cannot be written. `input`, when given, is checked before
    // the document is put in place and must outlive this object.
    explicit ReplacementFile(const py::Object& target, const InputIdentity* input = nullptr);
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;
    // Without commit(), the new file is removed and an existing target is
    // left as it was.
    ~ReplacementFile();

    // A binary file object to write the document into (not to be closed by the caller).
    py::Object file();
    // Appends a bytes-like object to the document.
    void write(const py::Object& data);
    // Puts the document in place of the target, durably. Refuses (raising)
    // when a signal handler raises, the current task is being cancelled, or
    // the input was replaced.
    void commit();

private:
    enum class Mode {
        replace,   // temporary_ in folder_ is renamed over name_
        deferred,  // staged in memory, written over target_fd_ at commit
        direct,    // written straight into target_fd_
    };

    void open_existing(Descriptor target, bool created);
    void prepare_new(const std::string& path);
    bool locate_folder(int fd, const struct stat& status);
    bool create_temporary(int* error);
    bool adopt_owner_and_mode(const struct stat& status);
    void commit_replacement();
    void commit_in_place();
    void discard() noexcept;

    py::Object target_;  // as the caller named it, for error messages
    const InputIdentity* input_;
    Mode mode_ = Mode::replace;
    Descriptor target_fd_;  // deferred and direct modes
    Descriptor folder_;     // the target's real folder (O_PATH)
    std::string name_;      // the target's name in folder_
    Descriptor temporary_fd_;
    std::string temporary_;  // name of the new file in folder_ until it is renamed or removed
    bool created_target_ = false;  // the target was made (through a dangling symlink) by this object
    struct stat created_status_ {};
    py::Object file_;
};

}  // namespace corvane::client
