// How both clients talk to the signing service: POST a JSON body to
// CRVN_DOMAIN_URL + path with the token in "X-Corvane-Authorization"; status
// 200 gives (True, result), anything else prints "Error" and gives
// (False, response text).
#pragma once

#include "object.hh"

namespace corvane::client {

// CRVN_DOMAIN_URL, read now, followed by `path`.
py::Object service_url(const py::Names& names, const char* path);

// Sends `body` to `url` with `requests.post` and returns the outcome pair.
py::Object post_to_service(const py::Names& names, const py::Object& url,
                           const py::Object& body, const py::Object& api_token);

}  // namespace corvane::client
