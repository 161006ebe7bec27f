"""Documents signed offline by the library's test signer, with any of the
signature metadata's options."""

import asyncio
import io

from CorvaneSDK.CorvaneSign.corvane_signature.pdf_utils.incremental_writer import IncrementalPdfFileWriter
from CorvaneSDK.CorvaneSign.corvane_signature.sign import fields, signers
from CorvaneSDK.CorvaneSign.corvane_signature.sign.signers.pdf_signer import PdfTBSDocument
from support.library_pki import FakeSigner


def prepare(pki, data, **options):
    """The library's preparation of ``data`` for a signature with ``options``: (digest, tbs, output)."""
    meta = signers.PdfSignatureMetadata(subfilter=fields.SigSeedSubFilter.PADES, **options)
    writer = IncrementalPdfFileWriter(io.BytesIO(data))
    return asyncio.run(signers.PdfSigner(meta, signer=FakeSigner(pki)).async_digest_doc_for_signing(writer))


def sign(pki, data, field_name="Signature1", **options):
    """``data`` signed by the library's test signer with the given metadata options."""
    async def flow():
        signer = FakeSigner(pki)
        meta = signers.PdfSignatureMetadata(field_name=field_name, subfilter=fields.SigSeedSubFilter.PADES,
                                            **options)
        digest, _, output = await signers.PdfSigner(meta, signer=signer).async_digest_doc_for_signing(
            IncrementalPdfFileWriter(io.BytesIO(data)))
        attrs = await signer.signed_attrs(digest.document_digest, "sha256")
        container = await signer.async_sign_prescribed_attributes("sha256", signed_attrs=attrs)
        await PdfTBSDocument.async_finish_signing(output, digest, container)
        return bytes(output.getbuffer())
    return asyncio.run(flow())
