// Requests to the signing service: who the signer is, and the signature of a digest.
#include "arguments.hh"
#include "functions.hh"
#include "service_request.hh"

namespace corvane::sign {

py::Object crvn_request_certificate_info(const py::Object& module, PyObject* args, PyObject* kwargs) {
    static constexpr py::Parameters<5> parameters{
        "crvn_request_certificate_info", {"api_token", "tenant_id", "user_id", "pki", "digest_b64"}};
    auto [api_token, tenant_id, user_id, pki, digest_b64] = parameters.bind(args, kwargs);
    py::Names names = py::Names::of_module(module);

    py::Object url = client::service_url(names, "/api/openapi/sdk-sign-info.json");
    py::Object body = py::dict();
    py::set_item(body, "tenant_id", tenant_id);
    py::set_item(body, "pki", pki);
    py::set_item(body, "user_id", user_id);
    py::set_item(body, "digest_b64", digest_b64);
    return client::post_to_service(names, url, body, api_token);
}

py::Object crvn_request_user_info(const py::Object& module, PyObject* args, PyObject* kwargs) {
    static constexpr py::Parameters<4> parameters{
        "crvn_request_user_info", {"api_token", "tenant_id", "user_id", "email"}};
    auto [api_token, tenant_id, user_id, email] = parameters.bind(args, kwargs);
    py::Names names = py::Names::of_module(module);

    py::Object url = client::service_url(names, "/api/openapi/sdk-user-info.json");
    // The user is named by identifier when there is one, else by e-mail, else
    // not at all (the service picks the tenant's default user).
    py::Object body = py::dict();
    py::set_item(body, "tenant_id", tenant_id);
    if (user_id.truthy()) py::set_item(body, "user_id", user_id);
    else if (email.truthy()) py::set_item(body, "email", email);
    return client::post_to_service(names, url, body, api_token);
}

}  // namespace corvane::sign
