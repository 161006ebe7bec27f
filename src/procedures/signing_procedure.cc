// The whole signing run, shared by both faces.
#include "credentials.hh"
#include "input_identity.hh"
#include "interruption.hh"
#include "delivery.hh"
#include "replacement_file.hh"
#include "signing.hh"

namespace corvane::procedures {
namespace {

py::Object reason_text_for(const py::Names& names, const py::Object& user_info) {
    py::Object formatted_datetime_str = names["format_date"]();
    py::Object reason = py::list({});
    auto add_line = [&](const char* label, const py::Object& value) {
        py::Object line = py::Object::steal(PyUnicode_FromFormat("%s: %S", label, value.get()));
        if (PyList_Append(reason.get(), line.get()) < 0) py::throw_error();
    };
    add_line("Date Time", formatted_datetime_str);
    add_line("Signer Name", user_info["user_full_name"]);
    add_line("Company Name", user_info["user_company_name"]);
    py::Object division = user_info["division"];
    add_line("Division", division.is_none() ? py::str("") : division);
    add_line("Email", user_info["user_email"]);
    return py::str(", ").attr("join")(reason);
}

// The field to sign: the one asked for, else the first free SignatureN.
py::Object field_for(const py::Names& names, const SigningOptions& options, const py::Object& input_file) {
    if (!options.field.is_none()) return options.field;
    py::Object writer = names["IncrementalPdfFileWriter"](names["open"](input_file, py::str("rb")));
    return writer.attr("free_field_name")(py::str("Signature"));
}

}  // namespace

py::Coroutine signing_procedure(py::Names names, TimestampSource source, SigningOptions options,
                                py::Object input_file, py::Object output_file, py::Object api_token,
                                py::Object tenant_id, py::Object pki, py::Object user_id, py::Object email) {
    std::vector<py::Object> user_outcome =
        py::unpack(names["crvn_request_user_info"](api_token, tenant_id, user_id, email), 2);
    // Requests block the loop: a Ctrl-C or cancel() that came meanwhile is acted on here.
    client::raise_if_interrupted();
    const py::Object& check_user_info = user_outcome[0];
    const py::Object& user_info = user_outcome[1];
    if (!check_user_info.truthy()) {
        names.print(py::str("Error: get user info"));
        co_return py::none();
    }
    py::Object signer = user_info["user_full_name"];
    // The preparation step reads it for an appearance's default lines.
    if (options.mapping) py::set_item(options.mapping, "signer", signer);

    py::Object field_name = field_for(names, options, input_file);
    py::Object reason_text = options.reason.is_none() ? reason_text_for(names, user_info) : options.reason;

    // Which file is read, so that a run writing over its own input cannot
    // overwrite a newer version put there meanwhile.
    client::InputIdentity input_identity(input_file, output_file);
    py::Object prepared = co_await names["prep_document"](input_file, field_name, reason_text);
    client::raise_if_interrupted();
    std::vector<py::Object> prepared_items = py::unpack(prepared, 2);
    const py::Object& prep_digest = prepared_items[0];
    const py::Object& output = prepared_items[1];

    py::Object digest_b64 = names["base64"].attr("b64encode")(prep_digest.attr("document_digest"))
                                .attr("decode")(py::str("utf-8"));
    // The certificate request names the user as the service knows them.
    user_id = user_info["user_id"];

    std::vector<py::Object> signing_outcome = py::unpack(
        names["crvn_request_certificate_info"](api_token, tenant_id, user_id, pki, digest_b64), 2);
    client::raise_if_interrupted();
    const py::Object& check_signing_response = signing_outcome[0];
    const py::Object& signing_response = signing_outcome[1];
    if (!check_signing_response.truthy()) {
        names.print(py::str("Error: get certificate info"));
        co_return py::none();
    }

    py::Object signature = names["base64"].attr("b64decode")(signing_response["signature"]);
    py::Object load_certificate = names["x509"].attr("Certificate").attr("load");
    py::Object certificate = load_certificate(names["base64"].attr("b64decode")(signing_response["certificate"]));

    py::Object timestamp_url = py::none(), timestamp_username = py::none(), timestamp_password = py::none();
    if (options.level == Level::b_b) {
        // No timestamp at all: the service's timestamp credentials are not needed.
    } else if (source == TimestampSource::service) {
        TimestampCredentials credentials = service_timestamp_credentials(names, signing_response["_t"], api_token);
        timestamp_url = credentials.url;
        timestamp_username = credentials.username;
        timestamp_password = credentials.password;
    } else {
        timestamp_url = names["DUMMY_HTTP_TS"];
    }

    co_await names["proceed_with_signing"](input_file, field_name, prep_digest, output, signature, certificate,
                                           timestamp_url, timestamp_username, timestamp_password);

    client::raise_if_interrupted();

    if (!options.report) {
        // The output file appears only complete: written beside the target, then renamed over it.
        client::ReplacementFile f(output_file, &input_identity);
        py::Object content = output.attr("getbuffer")();
        f.write(content);
        content.attr("release")();
        f.commit();
        co_return py::none();
    }

    py::Object document = output.attr("getvalue")();
    deliver(names, output_file, document, input_identity);
    py::Object record = py::dict();
    py::set_item(record, "field", field_name);
    py::set_item(record, "signer", signer);
    py::set_item(record, "document", document);
    co_return record;
}

}  // namespace corvane::procedures
