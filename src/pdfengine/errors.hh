// Failures of the PDF engine, by what went wrong: the binding turns each kind
// into the matching library exception.
#pragma once

#include <stdexcept>
#include <string>

namespace pdfengine {

enum class Failure {
    read,       // the input is not a readable PDF document
    encrypted,  // the input is encrypted
    layout,     // the document refuses the requested signature
    write,      // an update could not be built or failed its own check
};

class Error : public std::runtime_error {
public:
    Error(Failure failure, const std::string& message) : std::runtime_error(message), failure_(failure) {}
    Failure failure() const noexcept { return failure_; }

private:
    Failure failure_;
};

[[noreturn]] inline void fail(Failure failure, const std::string& message) { throw Error(failure, message); }

}  // namespace pdfengine
