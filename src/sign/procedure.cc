// The module's face of the signing procedure: its own namespace as the table
// of names, and the fixed options (field "Signature1", B-LTA, a path).
#include "arguments.hh"
#include "functions.hh"
#include "module.hh"
#include "prompt_interrupts.hh"
#include "signing.hh"

namespace corvane::sign {
namespace {

using procedures::SigningOptions;
using procedures::TimestampSource;

constexpr py::Parameters<7> kProcedureParameters(const char* function, std::size_t required) {
    return py::Parameters<7>{
        function, {"input_file", "output_file", "api_token", "tenant_id", "pki", "user_id", "email"}, required};
}

py::Object start_procedure(const py::Object& module, PyObject* args, PyObject* kwargs, const char* name,
                           TimestampSource source) {
    auto [input_file, output_file, api_token, tenant_id, pki, user_id, email] =
        kProcedureParameters(name, 7).bind(args, kwargs);
    return py::make_coroutine(py::coroutine_type(module),
                              procedures::signing_procedure(py::Names::of_module(module), source,
                                                            SigningOptions::for_module(), input_file, output_file,
                                                            api_token, tenant_id, pki, user_id, email),
                              name);
}

// Runs one procedure coroutine on a new event loop, like asyncio.run(procedure(...)).
py::Object run_procedure(const py::Object& module, PyObject* args, PyObject* kwargs, const char* name,
                         const char* procedure) {
    auto [input_file, output_file, api_token, tenant_id, pki, user_id, email] =
        kProcedureParameters(name, 5).bind(args, kwargs);
    py::Names names = py::Names::of_module(module);
    py::Object coroutine = names[procedure](input_file, output_file, api_token, tenant_id, pki, user_id, email);
    client::PromptInterrupts prompt_interrupts;
    names["asyncio"].attr("run")(coroutine);
    return py::none();
}

}  // namespace

py::Object prep_document(const py::Object& module, PyObject* args, PyObject* kwargs) {
    static constexpr py::Parameters<3> parameters{"prep_document", {"input_file", "field_name", "reason"}};
    auto [input_file, field_name, reason] = parameters.bind(args, kwargs);
    return py::make_coroutine(py::coroutine_type(module),
                              procedures::preparation(py::Names::of_module(module), SigningOptions::for_module(),
                                                      input_file, field_name, reason),
                              "prep_document");
}

py::Object proceed_with_signing(const py::Object& module, PyObject* args, PyObject* kwargs) {
    static constexpr py::Parameters<9> parameters{
        "proceed_with_signing",
        {"input_file", "field_name", "prep_digest", "output_handle", "signature", "certificate",
         "timestamp_url", "timestamp_username", "timestamp_password"}};
    auto [input_file, field_name, prep_digest, output_handle, signature, certificate, timestamp_url,
          timestamp_username, timestamp_password] = parameters.bind(args, kwargs);
    return py::make_coroutine(
        py::coroutine_type(module),
        procedures::completion(py::Names::of_module(module), SigningOptions::for_module(), input_file, field_name,
                               prep_digest, output_handle, signature, certificate, timestamp_url,
                               timestamp_username, timestamp_password),
        "proceed_with_signing");
}

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
