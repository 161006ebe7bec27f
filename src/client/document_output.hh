// Where a finished document goes: a path (replaced only once complete, see
// ReplacementFile), a binary file object (written in large pieces), or
// nowhere (None: the caller keeps the bytes).
#pragma once

#include "input_identity.hh"
#include "object.hh"

namespace corvane::client {

// Writes the bytes-like `document` to `destination`. `input`, when given, is
// checked before a path is replaced.
void deliver_document(const py::Object& destination, const py::Object& document,
                      const InputIdentity* input = nullptr);

}  // namespace corvane::client
