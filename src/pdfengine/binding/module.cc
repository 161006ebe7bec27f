// Module ...pdf_utils._pdfengine: the PDF engine over qpdf, as the library's
// Python side uses it. `open(pieces)` reads a document held in memory or
// in a file (given by descriptor, read on demand); its methods lay out
// signatures and append validation data as incremental updates returned as
// bytes.
#include "arguments.hh"
#include "document_object.hh"
#include "inspection.hh"
#include "module.hh"

namespace pdfengine::binding {
namespace {

constexpr const char* kModuleName = "CorvaneSDK.CorvaneSign.corvane_signature.pdf_utils._pdfengine";

py::Object open_function(const py::Object& module, PyObject* args, PyObject* kwargs) {
    static constexpr py::Parameters<1> parameters{"open", {"pieces"}};
    auto [pieces] = parameters.bind(args, kwargs);
    return open_document(module, pieces);
}

PyMethodDef open_definition = py::function<open_function, "open(pieces)",
                                            "Open a PDF document held in bytes, or in a sequence of bytes and "
                                            "file descriptors read on demand.">();

void exec_module(const py::Object& module) {
    // from ..exceptions import PdfReadError, PdfEncryptedError, PdfWriteError, SigningError
    std::vector<py::Object> exceptions = py::import_from(
        module, "exceptions", 2, {"PdfReadError", "PdfEncryptedError", "PdfWriteError", "SigningError"});
    const char* names[] = {"PdfReadError", "PdfEncryptedError", "PdfWriteError", "SigningError"};
    for (std::size_t i = 0; i < exceptions.size(); ++i) py::bind(module, names[i], exceptions[i]);
    py::bind(module, "Document", create_document_type());
    py::bind_function(module, &open_definition);
    bind_inspection(module);
}

PyModuleDef_Slot slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(py::exec_entry<exec_module>)},
    {0, nullptr},
};

PyModuleDef definition = {
    PyModuleDef_HEAD_INIT, kModuleName, nullptr, 0, nullptr, slots, nullptr, nullptr, nullptr,
};

}  // namespace
}  // namespace pdfengine::binding

PyMODINIT_FUNC PyInit__pdfengine() { return PyModuleDef_Init(&pdfengine::binding::definition); }
