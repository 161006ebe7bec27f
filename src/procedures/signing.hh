// The signing procedure, written once: the fixed module CorvaneSDK.sign runs
// it over its own namespace, the Client over its own table of names.
#pragma once

#include "coroutine.hh"
#include "options.hh"

namespace corvane::procedures {

// The whole run: who signs, preparation, the service's signature,
// completion, output. The modules' face returns None; the Client's face a
// dict with "field", "signer" and "document" (the signed bytes).
py::Coroutine signing_procedure(py::Names names, TimestampSource source, SigningOptions options,
                                py::Object input_file, py::Object output_file, py::Object api_token,
                                py::Object tenant_id, py::Object pki, py::Object user_id, py::Object email);

// First phase: gives (prepared digest, output handle).
py::Coroutine preparation(py::Names names, SigningOptions options, py::Object input_file,
                          py::Object field_name, py::Object reason);

// Second phase: CMS, signature timestamp, validation data and archival
// timestamp as the level asks, into the output handle.
py::Coroutine completion(py::Names names, SigningOptions options, py::Object input_file, py::Object field_name,
                         py::Object prep_digest, py::Object output_handle, py::Object signature,
                         py::Object certificate, py::Object timestamp_url, py::Object timestamp_username,
                         py::Object timestamp_password);

}  // namespace corvane::procedures
