// The timestamp server and its credentials, as the service enciphers them in
// "_t" for both the signing and the timestamping procedure.
#pragma once

#include "object.hh"

namespace corvane::procedures {

struct TimestampCredentials {
    py::Object url;
    py::Object username;
    py::Object password;
};

// Deciphers `enciphered` with the API token (decrypt_data) and reads its JSON.
TimestampCredentials service_timestamp_credentials(const py::Names& names, const py::Object& enciphered,
                                                   const py::Object& api_token);

}  // namespace corvane::procedures
