// The timestamping procedure, written once for the fixed module
// CorvaneSDK.timestamp and for the Client.
#pragma once

#include "object.hh"
#include "options.hh"

namespace corvane::procedures {

// Appends a document timestamp to `input_file` and writes the result to
// `output_file`. `report` is the Client's face: any output the Client takes,
// and a dict with "field" and "document" returned (else None). A refusal of
// the modules' face prints why and returns None.
py::Object timestamping_procedure(const py::Names& names, TimestampSource source, bool report,
                                  const py::Object& input_file, const py::Object& output_file,
                                  const py::Object& api_token, const py::Object& tenant_id);

}  // namespace corvane::procedures
