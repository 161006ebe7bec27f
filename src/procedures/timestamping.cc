// Document timestamps: ask the service for the timestamp server and its
// credentials (or use the public test server), and append a document
// timestamp to a PDF.  Every Exception is reported as printed lines.
#include "timestamping.hh"

#include "credentials.hh"
#include "input_identity.hh"
#include "delivery.hh"
#include "prompt_interrupts.hh"
#include "replacement_file.hh"

namespace corvane::procedures {
namespace {

// The timestamp client for the service's server and credentials, or an empty
// object when the service refused (after printing why).
py::Object service_timestamper(const py::Names& names, const py::Object& api_token,
                               const py::Object& tenant_id) {
    std::vector<py::Object> outcome = py::unpack(names["crvn_request_timestamp_info"](api_token, tenant_id), 2);
    const py::Object& check_timestamp_info = outcome[0];
    const py::Object& timestamp_info_response = outcome[1];
    if (!check_timestamp_info.truthy()) {
        names.print(py::str("Error: get timestamp info"));
        return py::Object();
    }
    TimestampCredentials credentials =
        service_timestamp_credentials(names, timestamp_info_response["_t"], api_token);
    py::Object new_timestamper = names["timestamps"].attr("HTTPTimeStamper");
    py::Object new_auth = names["HTTPBasicAuth"];
    return new_timestamper(credentials.url, py::kw("auth", new_auth(credentials.username, credentials.password)));
}

}  // namespace

py::Object timestamping_procedure(const py::Names& names, TimestampSource source, bool report,
                                  const py::Object& input_file, const py::Object& output_file,
                                  const py::Object& api_token, const py::Object& tenant_id) {
    py::Object tst_client = source == TimestampSource::service
                                ? service_timestamper(names, api_token, tenant_id)
                                : names["timestamps"].attr("HTTPTimeStamper")(names["DUMMY_HTTP_TS"]);
    if (!tst_client) return py::none();

    // Which file is read, so that a run writing over its own input cannot
    // overwrite a newer version put there meanwhile.
    client::InputIdentity input_identity(input_file, output_file);
    py::Object pdf_buffer = names["open"](input_file, py::str("rb"));
    py::Object w = names["IncrementalPdfFileWriter"](pdf_buffer);

    // Runs `timestamp_pdf` into `output` (None: a new in-memory stream, returned).
    auto stamp = [&](const py::Object& timestamp_pdf, const py::Object& output) {
        py::Object md_algorithm = names["signers"].attr("DEFAULT_MD");
        py::Object validation_context = names["ValidationContext"](py::kw("allow_fetching", py::boolean(true)));
        // The library may gather validation data under its own asyncio.run.
        client::PromptInterrupts prompt_interrupts;
        return timestamp_pdf(py::kw("pdf_out", w),
                             py::kw("md_algorithm", md_algorithm),
                             py::kw("timestamper", tst_client),
                             py::kw("validation_context", validation_context),
                             py::kw("output", output));
    };
    if (!report) {
        // The document is written beside the output and put in its place only
        // once complete: a failure never truncates or half-writes the output.
        client::ReplacementFile outf(output_file, &input_identity);
        stamp(names["signers"].attr("PdfTimeStamper")(tst_client).attr("timestamp_pdf"), outf.file());
        outf.commit();
        return py::none();
    }

    py::Object field_name = w.attr("free_field_name")(py::str("DocumentTimestamp"));
    py::Object stamper = names["signers"].attr("PdfTimeStamper")(tst_client, py::kw("field_name", field_name));
    py::Object stamped = stamp(stamper.attr("timestamp_pdf"), py::none());
    py::Object document = stamped.attr("getvalue")();
    deliver(names, output_file, document, input_identity);
    py::Object record = py::dict();
    py::set_item(record, "field", field_name);
    py::set_item(record, "document", document);
    return record;
}

}  // namespace corvane::procedures
