// First phase: lay the signature out in an in-memory incremental update and
// compute the digest the signing service will sign.
#include "arguments.hh"
#include "coroutine.hh"
#include "functions.hh"
#include "interruption.hh"
#include "module.hh"

namespace corvane::sign {
namespace {

py::Coroutine prep_document_body(py::Globals names, py::Object input_file, py::Object field_name,
                                 py::Object reason) {
    // A placeholder signer: the layout needs room for a signature, not a key.
    py::Object ext_signer = names["signers"].attr("ExternalSigner")(
        py::kw("signature_value", names["bytes"](py::integer(256))),
        py::kw("signing_cert", py::none()),
        py::kw("cert_registry", py::none()));

    py::Object new_metadata = names["signers"].attr("PdfSignatureMetadata");
    py::Object pades = names["fields"].attr("SigSeedSubFilter").attr("PADES");
    py::Object signature_meta = new_metadata(
        py::kw("md_algorithm", py::str("sha256")),
        py::kw("reason", reason),
        py::kw("field_name", field_name),
        py::kw("subfilter", pades));

    py::Object pdf_signer = names["signers"].attr("PdfSigner")(signature_meta, py::kw("signer", ext_signer));

    py::Object pdf_buffer = names["open"](input_file, py::str("rb"));
    py::Object w = names["IncrementalPdfFileWriter"](pdf_buffer);

    py::Object digest_doc_for_signing = pdf_signer.attr("async_digest_doc_for_signing");
    py::Object prepared = co_await digest_doc_for_signing(w, py::kw("bytes_reserved", names["BYTES_RESERVED"]));
    client::raise_if_interrupted();
    std::vector<py::Object> items = py::unpack(prepared, 3);
    const py::Object& prep_digest = items[0];
    const py::Object& output_handle = items[2];

    co_return py::tuple({prep_digest, output_handle});
}

}  // namespace

py::Object prep_document(const py::Object& module, PyObject* args, PyObject* kwargs) {
    static constexpr py::Parameters<3> parameters{"prep_document", {"input_file", "field_name", "reason"}};
    auto [input_file, field_name, reason] = parameters.bind(args, kwargs);
    return py::make_coroutine(py::coroutine_type(module),
                              prep_document_body(py::Globals(module), input_file, field_name, reason),
                              "prep_document");
}

}  // namespace corvane::sign
