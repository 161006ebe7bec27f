// Second phase: build the CMS container around the service's signature value,
// timestamp it, and finish the prepared document with long-term validation data.
#include "interruption.hh"
#include "signing.hh"

namespace corvane::procedures {

py::Coroutine completion(py::Names names, SigningOptions options, py::Object input_file, py::Object field_name,
                         py::Object prep_digest, py::Object output_handle, py::Object signature,
                         py::Object certificate, py::Object timestamp_url, py::Object timestamp_username,
                         py::Object timestamp_password) {
    // B-B has no signature timestamp.
    py::Object timestamper = py::none();
    if (options.level != Level::b_b) {
        timestamper = names["timestamps"].attr("HTTPTimeStamper")(timestamp_url);
        if (timestamp_username.truthy() && timestamp_password.truthy()) {
            py::Object new_timestamper = names["timestamps"].attr("HTTPTimeStamper");
            py::Object auth = names["HTTPBasicAuth"](timestamp_username, timestamp_password);
            timestamper = new_timestamper(timestamp_url, py::kw("auth", auth));
        }
    }

    py::Object cert_registry = names["SimpleCertificateStore"]();
    py::Object ext_signer = names["signers"].attr("ExternalSigner")(
        py::kw("signing_cert", certificate),
        py::kw("signature_value", signature),
        py::kw("cert_registry", cert_registry),
        py::kw("embed_roots", py::boolean(true)));

    py::Object build_signed_attrs = ext_signer.attr("signed_attrs");
    py::Object signed_attrs = co_await build_signed_attrs(prep_digest.attr("document_digest"), py::str("sha256"),
                                                          py::kw("use_pades", py::boolean(true)));
    // The library's requests block the loop: stop here when interrupted meanwhile.
    client::raise_if_interrupted();

    py::Object sign_prescribed_attributes = ext_signer.attr("async_sign_prescribed_attributes");
    py::Object sig_cms = co_await sign_prescribed_attributes(py::str("sha256"),
                                                             py::kw("signed_attrs", signed_attrs),
                                                             py::kw("timestamper", timestamper));
    client::raise_if_interrupted();

    py::Object validation_context = names["ValidationContext"](py::kw("allow_fetching", py::boolean(true)));

    py::Object new_pdf_signer = names["signers"].attr("PdfSigner");
    py::Object new_metadata = names["signers"].attr("PdfSignatureMetadata");
    py::Object pades = names["fields"].attr("SigSeedSubFilter").attr("PADES");
    py::Object dss_settings = names["DSSContentSettings"](py::kw("include_vri", py::boolean(false)));
    py::Object signature_meta = new_metadata(
        py::kw("field_name", field_name),
        py::kw("embed_validation_info", py::boolean(options.level >= Level::b_lt)),
        py::kw("use_pades_lta", py::boolean(options.level == Level::b_lta)),
        py::kw("subfilter", pades),
        py::kw("validation_context", validation_context),
        py::kw("md_algorithm", py::str("sha256")),
        py::kw("dss_settings", dss_settings));
    py::Object pdf_signer = new_pdf_signer(signature_meta, py::kw("signer", ext_signer));

    py::Object pdf_buffer = names["open"](input_file, py::str("rb"));
    py::Object w = names["IncrementalPdfFileWriter"](pdf_buffer);

    // Prepared again only for its post-sign instructions: the signature goes
    // into the document of the first phase.
    py::Object digest_doc_for_signing = pdf_signer.attr("async_digest_doc_for_signing");
    py::Object prepared = co_await digest_doc_for_signing(w);
    client::raise_if_interrupted();
    py::Object tbs_document = py::unpack(prepared, 3)[1];
    py::Object psi = tbs_document.attr("post_sign_instructions");

    py::Object finish_signing = names["PdfTBSDocument"].attr("async_finish_signing");
    co_await finish_signing(output_handle,
                            py::kw("prepared_digest", prep_digest),
                            py::kw("signature_cms", sig_cms),
                            py::kw("post_sign_instr", psi),
                            py::kw("validation_context", validation_context));
    client::raise_if_interrupted();
    co_return py::none();
}

}  // namespace corvane::procedures
