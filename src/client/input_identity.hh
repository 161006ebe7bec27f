// Guards an in-place run against a lost update: when the output names the
// same file as the input, and another program puts a new version at the
// input's path while the service is answering, writing the signed old
// version over it would silently throw the new one away.
#pragma once

#include "object.hh"

#include <sys/types.h>

namespace corvane::client {

class InputIdentity {
public:
    // Records which file `input` names now, if `output` names that same file
    // (an int, a missing file or anything else that is not a path is not watched).
    InputIdentity(const py::Object& input, const py::Object& output);

    // Raises RuntimeError naming the input when it is watched and its path no
    // longer names the file recorded.
    void verify() const;

private:
    py::Object input_;
    bool watched_ = false;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

}  // namespace corvane::client
