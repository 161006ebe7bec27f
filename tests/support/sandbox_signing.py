"""Signed documents at each PAdES level, made with the signature library and
the sandbox's signing key: the clients themselves only make B-LTA."""

import asyncio
import io

from CorvaneSDK.CorvaneSign.corvane_certvalidator import ValidationContext
from CorvaneSDK.CorvaneSign.corvane_certvalidator.registry import SimpleCertificateStore
from CorvaneSDK.CorvaneSign.corvane_signature.pdf_utils.incremental_writer import IncrementalPdfFileWriter
from CorvaneSDK.CorvaneSign.corvane_signature.sign import fields, signers, timestamps
from CorvaneSDK.CorvaneSign.corvane_signature.sign.signers.pdf_signer import DSSContentSettings, PdfTBSDocument
from support.client_flow import prep_document

LEVELS = ("B-B", "B-T", "B-LT", "B-LTA")


def _metadata(field_name, level, validation_context=None):
    return signers.PdfSignatureMetadata(
        field_name=field_name, md_algorithm="sha256", subfilter=fields.SigSeedSubFilter.PADES,
        embed_validation_info=level in ("B-LT", "B-LTA"), use_pades_lta=level == "B-LTA",
        validation_context=validation_context, dss_settings=DSSContentSettings(include_vri=False))


def sign_at_level(sandbox, data, level, field_name="Signature1", pki="rsa"):
    """``data`` signed by the sandbox's first user, with what ``level`` needs and no more."""
    async def flow():
        prep_digest, output = await prep_document(data, field_name)
        value, certificate = sandbox.sign_digest(prep_digest.document_digest, pki=pki)
        ext_signer = signers.ExternalSigner(signing_cert=certificate, signature_value=value,
                                            cert_registry=SimpleCertificateStore())
        attrs = await ext_signer.signed_attrs(prep_digest.document_digest, "sha256", use_pades=True)
        timestamper = timestamps.HTTPTimeStamper(sandbox.open_tsa_url) if level != "B-B" else None
        container = await ext_signer.async_sign_prescribed_attributes("sha256", signed_attrs=attrs,
                                                                      timestamper=timestamper)
        context = ValidationContext(allow_fetching=True)
        pdf_signer = signers.PdfSigner(_metadata(field_name, level, context), signer=ext_signer)
        _, tbs, _ = await pdf_signer.async_digest_doc_for_signing(IncrementalPdfFileWriter(io.BytesIO(data)))
        await PdfTBSDocument.async_finish_signing(output, prepared_digest=prep_digest, signature_cms=container,
                                                  post_sign_instr=tbs.post_sign_instructions,
                                                  validation_context=context)
        return bytes(output.getbuffer())
    return asyncio.run(flow())
