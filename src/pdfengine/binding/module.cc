// Module CorvaneSDK._pdfengine: the PDF engine over qpdf, as the library's
// Python side uses it. `open(pieces)` reads a document held in memory or
// in a file (given by descriptor, read on demand); its methods lay out
// signatures and append validation data as incremental updates returned as
// bytes.
#include "arguments.hh"
#include "document_object.hh"
#include "engine_state.hh"
#include "inspection.hh"
#include "joining.hh"
#include "module.hh"

#include "../signature_layout.hh"

namespace pdfengine::binding {
namespace {

constexpr const char* kModuleName = "CorvaneSDK._pdfengine";

py::Object open_function(const py::Object& module, PyObject* args, PyObject* kwargs) {
    static constexpr py::Parameters<1> parameters{"open", {"pieces"}};
    auto [pieces] = parameters.bind(args, kwargs);
    return open_document(module, pieces);
}

PyMethodDef open_definition = py::function<open_function, "open(pieces)",
                                            "Open a PDF document held in bytes, or in a sequence of bytes and "
                                            "file descriptors read on demand.">();

void exec_module(const py::Object& module) {
    // from CorvaneSDK.CorvaneSign.corvane_signature.exceptions import PdfReadError, ...
    std::vector<py::Object> exceptions = py::import_from(
        module, "CorvaneSDK.CorvaneSign.corvane_signature.exceptions", 0,
        {"PdfReadError", "PdfEncryptedError", "PdfWriteError", "SigningError"});
    const char* names[] = {"PdfReadError", "PdfEncryptedError", "PdfWriteError", "SigningError"};
    for (std::size_t i = 0; i < exceptions.size(); ++i) py::bind(module, names[i], exceptions[i]);
    py::Object document_type = create_document_type();
    py::bind(module, "Document", document_type);
    // The binding uses its own references from here on: rebinding a global
    // changes what Python code sees, never what the engine trusts.
    for (const py::Object& exception : exceptions)
        if (!PyType_Check(exception.get()) ||
            !PyType_IsSubtype(reinterpret_cast<PyTypeObject*>(exception.get()),
                              reinterpret_cast<PyTypeObject*>(PyExc_Exception)))
            py::raise(PyExc_ImportError, "the library's PDF exceptions are not exception classes");
    store_engine_state(module, EngineState{document_type.get(), exceptions[0].get(), exceptions[1].get(),
                                           exceptions[2].get(), exceptions[3].get()});
    py::bind(module, "MAX_BYTES_RESERVED", py::integer(static_cast<long long>(kMaxBytesReserved)));
    py::bind_function(module, &open_definition);
    bind_inspection(module);
    bind_joining(module);
}

PyModuleDef_Slot slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(py::exec_entry<exec_module>)},
    {0, nullptr},
};

PyModuleDef definition = {
    PyModuleDef_HEAD_INIT, kModuleName, nullptr, sizeof(EngineState), nullptr, slots,
    traverse_engine_state, clear_engine_state, free_engine_state,
};

}  // namespace
}  // namespace pdfengine::binding

PyMODINIT_FUNC PyInit__pdfengine() { return PyModuleDef_Init(&pdfengine::binding::definition); }
