#include "service_request.hh"

#include "secret_redaction.hh"

namespace corvane::client {

py::Object service_url(const py::Names& names, const char* path) {
    return py::add(names["CRVN_DOMAIN_URL"], py::str(path));
}

py::Object post_to_service(const py::Names& names, const py::Object& url,
                           const py::Object& body, const py::Object& api_token) {
    py::Object headers = py::dict();
    py::set_item(headers, "X-Corvane-Authorization", api_token);
    py::Object response;
    try {
        response = names["requests"].attr("post")(url, py::kw("json", body), py::kw("headers", headers));
    } catch (py::Error& error) {
        redact_secret(error, api_token, "<API token>");
        throw;
    }
    if (py::equal(response.attr("status_code"), py::integer(200))) {
        py::Object envelope = response.attr("json")();
        return py::tuple({py::boolean(true), envelope["result"]});
    }
    names.print(py::str("Error"));
    return py::tuple({py::boolean(false), response.attr("text")});
}

}  // namespace corvane::client
