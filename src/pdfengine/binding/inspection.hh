// Read-only functions of CorvaneSDK._pdfengine for reports on signed
// documents: revisions (and the document as it was at each), what differs
// between two of them, single objects and the signature dictionaries, as the
// records of CorvaneSDK._pdfengine_records and values decoded from qpdf's JSON.
#pragma once

#include "object.hh"

namespace pdfengine::binding {

// Binds revisions, leading_document, graph_differences, object_json,
// trailer_json, stream_data and signature_values as functions of `module`.
void bind_inspection(const py::Object& module);

}  // namespace pdfengine::binding
