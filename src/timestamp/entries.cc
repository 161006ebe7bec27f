// The module's face of the timestamping procedure: its own namespace as the
// table of names; every Exception is reported as printed lines.
#include "arguments.hh"
#include "functions.hh"
#include "service_request.hh"
#include "timestamping.hh"

#include <optional>

namespace corvane::timestamp {
namespace {

using procedures::TimestampSource;

constexpr py::Parameters<4> kEntryParameters(const char* function) {
    return py::Parameters<4>{function, {"input_file", "output_file", "api_token", "tenant_id"}};
}

// Runs the timestamping, prints "Exception <text>" for an Exception, and
// prints "Done" last whatever happened; other BaseExceptions propagate.
py::Object run_entry(const py::Object& module, PyObject* args, PyObject* kwargs, const char* name,
                     TimestampSource source) {
    auto [input_file, output_file, api_token, tenant_id] = kEntryParameters(name).bind(args, kwargs);
    py::Names names = py::Names::of_module(module);
    std::optional<py::Error> pending;
    try {
        procedures::timestamping_procedure(names, source, false, input_file, output_file, api_token, tenant_id);
    } catch (py::Error& error) {
        if (error.matches(PyExc_Exception)) {
            try {
                py::print(module, py::str("Exception"), error.value());
            } catch (py::Error& print_error) {
                pending = std::move(print_error);
            }
        } else {
            pending = std::move(error);
        }
    }
    py::print(module, py::str("Done"));
    if (pending) throw std::move(*pending);
    return py::none();
}

}  // namespace

py::Object crvn_request_timestamp_info(const py::Object& module, PyObject* args, PyObject* kwargs) {
    static constexpr py::Parameters<2> parameters{"crvn_request_timestamp_info", {"api_token", "tenant_id"}};
    auto [api_token, tenant_id] = parameters.bind(args, kwargs);
    py::Names names = py::Names::of_module(module);

    py::Object url = client::service_url(names, "/api/openapi/sdk-timestamp-info.json");
    py::Object body = py::dict();
    py::set_item(body, "tenant_id", tenant_id);
    return client::post_to_service(names, url, body, api_token);
}

py::Object timestamp_crvn(const py::Object& module, PyObject* args, PyObject* kwargs) {
    return run_entry(module, args, kwargs, "timestamp_crvn", TimestampSource::service);
}

py::Object timestamp_test(const py::Object& module, PyObject* args, PyObject* kwargs) {
    return run_entry(module, args, kwargs, "timestamp_test", TimestampSource::dummy);
}

}  // namespace corvane::timestamp
