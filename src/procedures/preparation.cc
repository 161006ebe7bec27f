// First phase: lay the signature out in an in-memory incremental update and
// compute the digest the signing service will sign.
#include "interruption.hh"
#include "signing.hh"

namespace corvane::procedures {
namespace {

// The appearance the library draws: the caller's page and box, with the
// signer's name and the date as lines when the caller gave none.
py::Object library_appearance(const py::Names& names, const SigningOptions& options) {
    const py::Object& appearance = options.appearance;
    py::Object lines = appearance.attr("lines");
    if (lines.is_none()) lines = py::list({options.mapping["signer"], names["format_date"]()});
    return names["SignatureAppearance"](py::kw("page", appearance.attr("page")),
                                        py::kw("box", appearance.attr("box")), py::kw("lines", lines));
}

}  // namespace

py::Coroutine preparation(py::Names names, SigningOptions options, py::Object input_file, py::Object field_name,
                          py::Object reason) {
    // A placeholder signer: the layout needs room for a signature, not a key.
    py::Object ext_signer = names["signers"].attr("ExternalSigner")(
        py::kw("signature_value", names["bytes"](py::integer(256))),
        py::kw("signing_cert", py::none()),
        py::kw("cert_registry", py::none()));

    py::Object new_metadata = names["signers"].attr("PdfSignatureMetadata");
    py::Object pades = names["fields"].attr("SigSeedSubFilter").attr("PADES");
    // Settings the modules never make are passed only when chosen.
    py::detail::CallArguments metadata;
    metadata.add(py::kw("md_algorithm", py::str("sha256")));
    metadata.add(py::kw("reason", reason));
    metadata.add(py::kw("field_name", field_name));
    metadata.add(py::kw("subfilter", pades));
    if (!options.location.is_none()) metadata.add(py::kw("location", options.location));
    if (!options.contact.is_none()) metadata.add(py::kw("contact_info", options.contact));
    if (!options.certify.is_none()) metadata.add(py::kw("docmdp_permissions", options.certify));
    if (!options.appearance.is_none()) metadata.add(py::kw("appearance", library_appearance(names, options)));
    py::Object signature_meta = metadata.call(new_metadata);

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

}  // namespace corvane::procedures
