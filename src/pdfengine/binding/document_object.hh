// The Python type `_pdfengine.Document`: an engine document over bytes
// objects that it keeps alive, with the operations the library's Python side
// calls. Instances come from `_pdfengine.open`.
#pragma once

#include "object.hh"

#include <mutex>

#include "../document.hh"

namespace pdfengine::binding {

// Creates the type; the module binds it as its global `Document`.
py::Object create_document_type();

// A new document of `module` reading `pieces` (bytes, or a tuple/list of bytes).
py::Object open_document(const py::Object& module, const py::Object& pieces);

// A new document of `module` reading the first `end` bytes of `document`'s
// pieces (an earlier revision of it), without copying them.
py::Object open_leading(const py::Object& module, const py::Object& document, long long end);

// The engine document behind `object`, a Document of `module` (TypeError otherwise).
Document& engine_document(const py::Object& module, const py::Object& object);

// What a thread holds while the engine works on the document of `object` (a
// Document, checked by engine_document first): taken only with the
// interpreter lock released, as another thread may be extending the document.
std::mutex& document_lock(const py::Object& object);

}  // namespace pdfengine::binding
