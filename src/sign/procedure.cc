// The whole signing run, and the synchronous entry points that drive it.
#include "arguments.hh"
#include "coroutine.hh"
#include "functions.hh"
#include "input_identity.hh"
#include "interruption.hh"
#include "module.hh"
#include "prompt_interrupts.hh"
#include "replacement_file.hh"

namespace corvane::sign {
namespace {

// Where the signature timestamp comes from: the server and credentials the
// service enciphers in "_t", or the public server DUMMY_HTTP_TS without any.
enum class TimestampSource { service, dummy };

py::Object reason_text_for(const py::Globals& names, const py::Object& user_info) {
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

py::Coroutine full_procedure_body(py::Globals names, TimestampSource source, py::Object input_file,
                                  py::Object output_file, py::Object api_token, py::Object tenant_id,
                                  py::Object pki, py::Object user_id, py::Object email) {
    py::Object field_name = py::str("Signature1");

    std::vector<py::Object> user_outcome =
        py::unpack(names["crvn_request_user_info"](api_token, tenant_id, user_id, email), 2);
    // Requests block the loop: a Ctrl-C or cancel() that came meanwhile is acted on here.
    client::raise_if_interrupted();
    const py::Object& check_user_info = user_outcome[0];
    const py::Object& user_info = user_outcome[1];
    if (!check_user_info.truthy()) {
        py::print(names.module(), py::str("Error: get user info"));
        co_return py::none();
    }

    py::Object reason_text = reason_text_for(names, user_info);

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
        py::print(names.module(), py::str("Error: get certificate info"));
        co_return py::none();
    }

    py::Object signature = names["base64"].attr("b64decode")(signing_response["signature"]);
    py::Object load_certificate = names["x509"].attr("Certificate").attr("load");
    py::Object certificate = load_certificate(names["base64"].attr("b64decode")(signing_response["certificate"]));

    py::Object timestamp_url, timestamp_username, timestamp_password;
    if (source == TimestampSource::service) {
        py::Object credentials = names["decrypt_data"](signing_response["_t"], api_token);
        py::Object timestamp_info = names["json"].attr("loads")(credentials.attr("decode")(py::str("utf-8")));
        timestamp_url = timestamp_info["ts_url"];
        timestamp_username = timestamp_info["ts_username"];
        timestamp_password = timestamp_info["ts_password"];
    } else {
        timestamp_url = names["DUMMY_HTTP_TS"];
        timestamp_username = py::none();
        timestamp_password = py::none();
    }

    co_await names["proceed_with_signing"](input_file, field_name, prep_digest, output, signature, certificate,
                                           timestamp_url, timestamp_username, timestamp_password);

    client::raise_if_interrupted();

    // The output file appears only complete: written beside the target, then renamed over it.
    client::ReplacementFile f(output_file, &input_identity);
    py::Object content = output.attr("getbuffer")();
    f.write(content);
    content.attr("release")();
    f.commit();
    co_return py::none();
}

constexpr py::Parameters<7> kProcedureParameters(const char* function, std::size_t required) {
    return py::Parameters<7>{
        function, {"input_file", "output_file", "api_token", "tenant_id", "pki", "user_id", "email"}, required};
}

py::Object start_procedure(const py::Object& module, PyObject* args, PyObject* kwargs, const char* name,
                           TimestampSource source) {
    auto [input_file, output_file, api_token, tenant_id, pki, user_id, email] =
        kProcedureParameters(name, 7).bind(args, kwargs);
    return py::make_coroutine(py::coroutine_type(module),
                              full_procedure_body(py::Globals(module), source, input_file, output_file,
                                                  api_token, tenant_id, pki, user_id, email),
                              name);
}

// Runs one procedure coroutine on a new event loop, like asyncio.run(procedure(...)).
py::Object run_procedure(const py::Object& module, PyObject* args, PyObject* kwargs, const char* name,
                         const char* procedure) {
    auto [input_file, output_file, api_token, tenant_id, pki, user_id, email] =
        kProcedureParameters(name, 5).bind(args, kwargs);
    py::Globals names(module);
    py::Object coroutine = names[procedure](input_file, output_file, api_token, tenant_id, pki, user_id, email);
    client::PromptInterrupts prompt_interrupts;
    names["asyncio"].attr("run")(coroutine);
    return py::none();
}

}  // namespace

py::Object full_procedure(const py::Object& module, PyObject* args, PyObject* kwargs) {
    return start_procedure(module, args, kwargs, "full_procedure", TimestampSource::service);
}

py::Object full_procedure_test(const py::Object& module, PyObject* args, PyObject* kwargs) {
    return start_procedure(module, args, kwargs, "full_procedure_test", TimestampSource::dummy);
}

py::Object sign_crvn(const py::Object& module, PyObject* args, PyObject* kwargs) {
    return run_procedure(module, args, kwargs, "sign_crvn", "full_procedure");
}

py::Object sign_test(const py::Object& module, PyObject* args, PyObject* kwargs) {
    return run_procedure(module, args, kwargs, "sign_test", "full_procedure_test");
}

}  // namespace corvane::sign
