// How a run of the signing or timestamping procedure differs between its two
// faces: the fixed modules (defaults: field "Signature1", the service-built
// reason, B-LTA, output to a path, nothing returned) and the Client (chosen
// field, reason, placement, level; output to a path, a file object or bytes;
// a record of the run returned).
#pragma once

#include "object.hh"

namespace corvane::procedures {

// Where the signature or document timestamp comes from: the server and
// credentials the service enciphers in "_t", or DUMMY_HTTP_TS without any.
enum class TimestampSource { service, dummy };

// PAdES baseline levels, lowest first.
enum class Level { b_b, b_t, b_lt, b_lta };

struct SigningOptions {
    // The Client's options mapping (empty for the modules). The run notes
    // the signer's name in it ("signer") for the preparation step.
    py::Object mapping;
    py::Object field;       // None: the first free SignatureN
    py::Object reason;      // None: the service-built text
    py::Object location;    // None for all of these: not set
    py::Object contact;
    py::Object appearance;
    py::Object certify;
    Level level = Level::b_lta;
    // The Client's face: flexible output and a record of the run.
    bool report = false;

    static SigningOptions for_module();
    // From the Client's mapping: field, reason, location, contact, appearance,
    // certify, level ("B-B" ... "B-LTA").
    static SigningOptions from_mapping(const py::Object& mapping);
};

}  // namespace corvane::procedures
