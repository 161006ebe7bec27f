// Module CorvaneSDK._procedures (private): the Client's face of the signing
// and timestamping procedures. Every function takes the Client's table of
// names (a mapping) and its options mapping first.
#include "arguments.hh"
#include "module.hh"
#include "signing.hh"
#include "timestamping.hh"

namespace corvane::procedures {
namespace {

// "service": the service's timestamp server and credentials; "url": the
// table's DUMMY_HTTP_TS, without credentials.
TimestampSource timestamp_source(const py::Object& options) {
    std::string source = options["timestamp_source"].text();
    if (source == "service") return TimestampSource::service;
    if (source == "url") return TimestampSource::dummy;
    py::raise_format(PyExc_ValueError, "timestamp_source must be 'service' or 'url', not %s", source.c_str());
}

py::Object sign(const py::Object& module, PyObject* args, PyObject* kwargs) {
    static constexpr py::Parameters<9> parameters{
        "sign", {"table", "options", "input_file", "output_file", "api_token", "tenant_id", "pki", "user_id",
                 "email"}};
    auto [table, options, input_file, output_file, api_token, tenant_id, pki, user_id, email] =
        parameters.bind(args, kwargs);
    TimestampSource source = timestamp_source(options);
    return py::make_coroutine(py::coroutine_type(module),
                              signing_procedure(py::Names::of_mapping(table), source,
                                                SigningOptions::from_mapping(options), input_file, output_file,
                                                api_token, tenant_id, pki, user_id, email),
                              "sign");
}

py::Object prep_document(const py::Object& module, PyObject* args, PyObject* kwargs) {
    static constexpr py::Parameters<5> parameters{
        "prep_document", {"table", "options", "input_file", "field_name", "reason"}};
    auto [table, options, input_file, field_name, reason] = parameters.bind(args, kwargs);
    return py::make_coroutine(py::coroutine_type(module),
                              preparation(py::Names::of_mapping(table), SigningOptions::from_mapping(options),
                                          input_file, field_name, reason),
                              "prep_document");
}

py::Object proceed_with_signing(const py::Object& module, PyObject* args, PyObject* kwargs) {
    static constexpr py::Parameters<11> parameters{
        "proceed_with_signing",
        {"table", "options", "input_file", "field_name", "prep_digest", "output_handle", "signature",
         "certificate", "timestamp_url", "timestamp_username", "timestamp_password"}};
    auto [table, options, input_file, field_name, prep_digest, output_handle, signature, certificate,
          timestamp_url, timestamp_username, timestamp_password] = parameters.bind(args, kwargs);
    return py::make_coroutine(
        py::coroutine_type(module),
        completion(py::Names::of_mapping(table), SigningOptions::from_mapping(options), input_file, field_name,
                   prep_digest, output_handle, signature, certificate, timestamp_url, timestamp_username,
                   timestamp_password),
        "proceed_with_signing");
}

py::Object timestamp(const py::Object&, PyObject* args, PyObject* kwargs) {
    static constexpr py::Parameters<6> parameters{
        "timestamp", {"table", "options", "input_file", "output_file", "api_token", "tenant_id"}};
    auto [table, options, input_file, output_file, api_token, tenant_id] = parameters.bind(args, kwargs);
    return timestamping_procedure(py::Names::of_mapping(table), timestamp_source(options), true, input_file,
                                  output_file, api_token, tenant_id);
}

void exec_module(const py::Object& module) {
    py::init_module_state(module, "CorvaneSDK._procedures.coroutine");
    static PyMethodDef functions[] = {
        py::function<sign, "sign(table, options, input_file, output_file, api_token, tenant_id, pki, user_id, email)",
                     "The signing procedure over the names of `table`; returns the run's record.">(),
        py::function<prep_document, "prep_document(table, options, input_file, field_name, reason)",
                     "First phase of signing, with the options.">(),
        py::function<proceed_with_signing,
                     "proceed_with_signing(table, options, input_file, field_name, prep_digest, output_handle, "
                     "signature, certificate, timestamp_url, timestamp_username, timestamp_password)",
                     "Second phase of signing, to the options' level.">(),
        py::function<timestamp, "timestamp(table, options, input_file, output_file, api_token, tenant_id)",
                     "The timestamping procedure over the names of `table`; returns the run's record.">(),
    };
    for (PyMethodDef& definition : functions) py::bind_function(module, &definition);
}

PyModuleDef_Slot slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(py::exec_entry<exec_module>)},
    {0, nullptr},
};

PyModuleDef definition = {
    PyModuleDef_HEAD_INIT, "CorvaneSDK._procedures", nullptr, sizeof(py::ModuleState), nullptr, slots,
    py::traverse_module_state, py::clear_module_state, py::free_module_state,
};

}  // namespace
}  // namespace corvane::procedures

PyMODINIT_FUNC PyInit__procedures() { return PyModuleDef_Init(&corvane::procedures::definition); }
