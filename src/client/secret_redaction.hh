// Keeps a secret out of exception texts. requests echoes a header value it
// refuses (a token with a line break or leading space) in its error message,
// and the codec errors of a non-Latin-1 header value carry the whole value;
// both would show the caller's API token wherever the error is printed.
#pragma once

#include "object.hh"

namespace corvane::client {

// Rewrites the pending exception in place: every occurrence of `secret` (as
// text, and as repr() shows it) in its arguments becomes `placeholder`. The
// exception keeps its type and traceback. A secret that is not a non-empty
// str is left alone.
void redact_secret(py::Error& error, const py::Object& secret, const char* placeholder);

}  // namespace corvane::client
