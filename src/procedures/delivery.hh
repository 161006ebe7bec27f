// Where the Client's procedures put a finished document, with failures to
// write it told apart from the rest.
#pragma once

#include "input_identity.hh"
#include "object.hh"

namespace corvane::procedures {

// Delivers `document` to `destination` (see client::deliver_document). A
// failure raises what the table's "output_failure"(destination, error)
// makes of it, with the failure as its cause.
void deliver(const py::Names& names, const py::Object& destination, const py::Object& document,
             const client::InputIdentity& input);

}  // namespace corvane::procedures
