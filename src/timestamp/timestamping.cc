// Document timestamps: ask the service for the timestamp server and its
// credentials (or use the public test server), and append a document
// timestamp to a PDF.  Every Exception is reported as printed lines.
#include "timestamping.hh"

#include "arguments.hh"
#include "input_identity.hh"
#include "prompt_interrupts.hh"
#include "replacement_file.hh"
#include "service_request.hh"

#include <optional>

namespace corvane::timestamp {
namespace {

// The timestamp server to use: from the service's "_t", or DUMMY_HTTP_TS.
enum class TimestampSource { service, dummy };

constexpr py::Parameters<4> kEntryParameters(const char* function) {
    return py::Parameters<4>{function, {"input_file", "output_file", "api_token", "tenant_id"}};
}

// The timestamp client for the service's server and credentials, or an empty
// object when the service refused (after printing why).
py::Object service_timestamper(const py::Globals& names, const py::Object& api_token,
                               const py::Object& tenant_id) {
    std::vector<py::Object> outcome = py::unpack(names["crvn_request_timestamp_info"](api_token, tenant_id), 2);
    const py::Object& check_timestamp_info = outcome[0];
    const py::Object& timestamp_info_response = outcome[1];
    if (!check_timestamp_info.truthy()) {
        py::print(names.module(), py::str("Error: get timestamp info"));
        return py::Object();
    }
    py::Object credentials = names["decrypt_data"](timestamp_info_response["_t"], api_token);
    py::Object timestamp_info = names["json"].attr("loads")(credentials.attr("decode")(py::str("utf-8")));

    py::Object new_timestamper = names["timestamps"].attr("HTTPTimeStamper");
    py::Object ts_url = timestamp_info["ts_url"];
    py::Object new_auth = names["HTTPBasicAuth"];
    py::Object ts_username = timestamp_info["ts_username"];
    py::Object ts_password = timestamp_info["ts_password"];
    return new_timestamper(ts_url, py::kw("auth", new_auth(ts_username, ts_password)));
}

void timestamp_document(const py::Globals& names, TimestampSource source, const py::Object& input_file,
                        const py::Object& output_file, const py::Object& api_token,
                        const py::Object& tenant_id) {
    py::Object tst_client = source == TimestampSource::service
                                ? service_timestamper(names, api_token, tenant_id)
                                : names["timestamps"].attr("HTTPTimeStamper")(names["DUMMY_HTTP_TS"]);
    if (!tst_client) return;

    // Which file is read, so that a run writing over its own input cannot
    // overwrite a newer version put there meanwhile.
    client::InputIdentity input_identity(input_file, output_file);
    py::Object pdf_buffer = names["open"](input_file, py::str("rb"));
    py::Object w = names["IncrementalPdfFileWriter"](pdf_buffer);

    // The document is written beside the output and put in its place only
    // once complete: a failure never truncates or half-writes the output.
    client::ReplacementFile outf(output_file, &input_identity);
    py::Object timestamp_pdf = names["signers"].attr("PdfTimeStamper")(tst_client).attr("timestamp_pdf");
    py::Object md_algorithm = names["signers"].attr("DEFAULT_MD");
    py::Object validation_context = names["ValidationContext"](py::kw("allow_fetching", py::boolean(true)));
    // The library may gather validation data under its own asyncio.run.
    client::PromptInterrupts prompt_interrupts;
    timestamp_pdf(py::kw("pdf_out", w),
                  py::kw("md_algorithm", md_algorithm),
                  py::kw("timestamper", tst_client),
                  py::kw("validation_context", validation_context),
                  py::kw("output", outf.file()));
    outf.commit();
}

// Runs the timestamping, prints "Exception <text>" for an Exception, and
// prints "Done" last whatever happened; other BaseExceptions propagate.
py::Object run_entry(const py::Object& module, PyObject* args, PyObject* kwargs, const char* name,
                     TimestampSource source) {
    auto [input_file, output_file, api_token, tenant_id] = kEntryParameters(name).bind(args, kwargs);
    py::Globals names(module);
    std::optional<py::Error> pending;
    try {
        timestamp_document(names, source, input_file, output_file, api_token, tenant_id);
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
    py::Globals names(module);

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
