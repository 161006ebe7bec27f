// The Client tells failures to write the output apart from the rest.
#pragma once

#include "object.hh"

namespace corvane::procedures {

// Raises what the table's "output_failure"(destination, error) makes of
// `error`, with `error` as its cause.
[[noreturn]] void raise_output_failure(const py::Names& names, const py::Object& destination, py::Error& error);

}  // namespace corvane::procedures
