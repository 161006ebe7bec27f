// Module CorvaneSDK.timestamp: the timestamping client.  The module body
// binds, in order, its imports, its constants and its three functions.
#include "module.hh"
#include "functions.hh"

namespace corvane::timestamp {
namespace {

void exec_module(const py::Object& module) {
    py::bind(module, "json", py::import("json"));
    py::bind(module, "requests", py::import("requests"));
    py::bind_from_import(module, "requests.auth", 0, {"HTTPBasicAuth"});
    py::bind_from_import(module, "service", 1, {"decrypt_data"});
    py::bind_from_import(module, "CorvaneSign.corvane_signature.sign", 1, {"signers", "timestamps"});
    py::bind_from_import(module, "CorvaneSign.corvane_signature.pdf_utils.incremental_writer", 1,
                  {"IncrementalPdfFileWriter"});
    py::bind_from_import(module, "CorvaneSign.corvane_certvalidator", 1, {"ValidationContext"});

    py::bind(module, "BYTES_RESERVED", py::integer(30842));
    py::bind(module, "DUMMY_HTTP_TS", py::str("http://timestamp.entrust.net/TSS/RFC3161sha2TS"));
    py::bind(module, "CRVN_DOMAIN_URL", py::str("https://api.corvane.com"));

    static PyMethodDef functions[] = {
        py::function<crvn_request_timestamp_info, "crvn_request_timestamp_info(api_token, tenant_id)">(),
        py::function<timestamp_crvn, "timestamp_crvn(input_file, output_file, api_token, tenant_id)">(),
        py::function<timestamp_test, "timestamp_test(input_file, output_file, api_token, tenant_id)">(),
    };
    for (PyMethodDef& definition : functions) py::bind_function(module, &definition);
}

PyModuleDef_Slot slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(py::exec_entry<exec_module>)},
    {0, nullptr},
};

PyModuleDef definition = {
    PyModuleDef_HEAD_INIT, "CorvaneSDK.timestamp", nullptr, 0, nullptr, slots, nullptr, nullptr, nullptr,
};

}  // namespace
}  // namespace corvane::timestamp

PyMODINIT_FUNC PyInit_timestamp() { return PyModuleDef_Init(&corvane::timestamp::definition); }
