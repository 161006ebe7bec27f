// Single objects of a document in qpdf's JSON (version 2), for reports.
#pragma once

#include "document.hh"

#include <optional>
#include <string>

namespace pdfengine {

// JSON of the object `id` (dereferenced), or none when the document has no such object.
std::optional<std::string> object_json(QPDF& pdf, QPDFObjGen id);

}  // namespace pdfengine
