// Module CorvaneSDK.sign: the signing client.  The module body binds, in
// order, its imports, its constants and its eight functions.
#include "functions.hh"
#include "module.hh"

namespace corvane::sign {
namespace {

void exec_module(const py::Object& module) {
    py::init_module_state(module, "CorvaneSDK.sign.coroutine");

    py::bind(module, "asyncio", py::import("asyncio"));
    py::bind(module, "base64", py::import("base64"));
    py::bind(module, "json", py::import("json"));
    py::bind(module, "requests", py::import("requests"));
    py::bind_from_import(module, "requests.auth", 0, {"HTTPBasicAuth"});
    py::bind_from_import(module, "asn1crypto", 0, {"x509"});
    py::bind_from_import(module, "service", 1, {"decrypt_data"});
    py::bind_from_import(module, "CorvaneSign.corvane_signature.sign", 1, {"signers", "fields", "timestamps"});
    py::bind_from_import(module, "CorvaneSign.corvane_signature.sign.signers.pdf_signer", 1,
                  {"PdfTBSDocument", "DSSContentSettings"});
    py::bind_from_import(module, "CorvaneSign.corvane_signature.pdf_utils.incremental_writer", 1,
                  {"IncrementalPdfFileWriter"});
    py::bind_from_import(module, "CorvaneSign.corvane_certvalidator", 1, {"ValidationContext"});
    py::bind_from_import(module, "CorvaneSign.corvane_certvalidator.registry", 1, {"SimpleCertificateStore"});
    py::bind_from_import(module, "CorvaneSign.corvane_signature.pdf_utils.format", 1, {"format_date"});

    py::bind(module, "BYTES_RESERVED", py::integer(30842));
    py::bind(module, "DUMMY_HTTP_TS", py::str("http://timestamp.entrust.net/TSS/RFC3161sha2TS"));
    py::bind(module, "CRVN_DOMAIN_URL", py::str("https://api.corvane.com"));

    static PyMethodDef functions[] = {
        py::function<crvn_request_certificate_info,
                     "crvn_request_certificate_info(api_token, tenant_id, user_id, pki, digest_b64)">(),
        py::function<crvn_request_user_info, "crvn_request_user_info(api_token, tenant_id, user_id, email)">(),
        py::function<prep_document, "prep_document(input_file, field_name, reason)">(),
        py::function<proceed_with_signing,
                     "proceed_with_signing(input_file, field_name, prep_digest, output_handle, signature, "
                     "certificate, timestamp_url, timestamp_username, timestamp_password)">(),
        py::function<full_procedure,
                     "full_procedure(input_file, output_file, api_token, tenant_id, pki, user_id, email)">(),
        py::function<full_procedure_test,
                     "full_procedure_test(input_file, output_file, api_token, tenant_id, pki, user_id, email)">(),
        py::function<sign_crvn,
                     "sign_crvn(input_file, output_file, api_token, tenant_id, pki, user_id=None, email=None)">(),
        py::function<sign_test,
                     "sign_test(input_file, output_file, api_token, tenant_id, pki, user_id=None, email=None)">(),
    };
    for (PyMethodDef& definition : functions) py::bind_function(module, &definition);
}

PyModuleDef_Slot slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(py::exec_entry<exec_module>)},
    {0, nullptr},
};

PyModuleDef definition = {
    PyModuleDef_HEAD_INIT, "CorvaneSDK.sign", nullptr, sizeof(py::ModuleState), nullptr, slots,
    py::traverse_module_state, py::clear_module_state, py::free_module_state,
};

}  // namespace
}  // namespace corvane::sign

PyMODINIT_FUNC PyInit_sign() { return PyModuleDef_Init(&corvane::sign::definition); }
