// CorvaneSDK._pdfengine.join: a document's pieces (bytes, and leading bytes of
// files given by descriptor) copied into one new bytes object, with the
// interpreter lock released for the whole copy.
#pragma once

#include "object.hh"

namespace pdfengine::binding {

// Binds join as a function of `module`.
void bind_joining(const py::Object& module);

}  // namespace pdfengine::binding
