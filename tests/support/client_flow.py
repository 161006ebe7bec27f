"""The signing client's two phases, driven through the library's classes with
the same calls, keywords and settings the client makes, against the sandbox.

``ClientSigning`` keeps what each phase produced, so a test can look at the
prepared document and the container after a completion that failed."""

import asyncio
import io

from requests.auth import HTTPBasicAuth

from CorvaneSDK.CorvaneSign.corvane_certvalidator import ValidationContext
from CorvaneSDK.CorvaneSign.corvane_certvalidator.registry import SimpleCertificateStore
from CorvaneSDK.CorvaneSign.corvane_signature.pdf_utils.incremental_writer import IncrementalPdfFileWriter
from CorvaneSDK.CorvaneSign.corvane_signature.sign import fields, signers, timestamps
from CorvaneSDK.CorvaneSign.corvane_signature.sign.signers.pdf_signer import DSSContentSettings, PdfTBSDocument

BYTES_RESERVED = 30842
REASON = "Date Time: now, Signer Name: Ünïcødé"


def client_timestamper(url, username=None, password=None):
    """The completion's timestamper: with Basic credentials only when both are given."""
    timestamper = timestamps.HTTPTimeStamper(url)
    if username and password:
        timestamper = timestamps.HTTPTimeStamper(url, auth=HTTPBasicAuth(username, password))
    return timestamper


async def prep_document(data, field_name, reason=REASON):
    ext_signer = signers.ExternalSigner(signature_value=bytes(256), signing_cert=None, cert_registry=None)
    meta = signers.PdfSignatureMetadata(md_algorithm="sha256", reason=reason, field_name=field_name,
                                        subfilter=fields.SigSeedSubFilter.PADES)
    pdf_signer = signers.PdfSigner(meta, signer=ext_signer)
    w = IncrementalPdfFileWriter(io.BytesIO(data))
    prep_digest, _, output_handle = await pdf_signer.async_digest_doc_for_signing(w, bytes_reserved=BYTES_RESERVED)
    return prep_digest, output_handle


class ClientSigning:
    """One signing of ``data`` as the client does it.

    ``lta`` asks for embedded validation information and the archival
    timestamp; ``include_vri`` is the DSS setting the client leaves False;
    ``signature`` replaces the service's signature value.
    """

    def __init__(self, sandbox, data, field_name="Signature1", lta=False, include_vri=False,
                 tsa_url=None, tsa_username=None, tsa_password=None, signature=None):
        self.sandbox = sandbox
        self.data = data
        self.field_name = field_name
        self.lta = lta
        self.include_vri = include_vri
        self.tsa_url = tsa_url or sandbox.open_tsa_url
        self.tsa_username = tsa_username
        self.tsa_password = tsa_password
        self.signature = signature
        self.prep_digest = self.output_handle = self.prepared = None
        self.certificate = self.sig_cms = None

    @property
    def output(self):
        return bytes(self.output_handle.getbuffer())

    def run(self):
        """Both phases; returns the finished document."""
        asyncio.run(self._flow())
        return self.output

    async def _flow(self):
        self.prep_digest, self.output_handle = await prep_document(self.data, self.field_name)
        self.prepared = self.output
        value, self.certificate = self.sandbox.sign_digest(self.prep_digest.document_digest)
        await self._proceed_with_signing(self.signature or value)

    async def _proceed_with_signing(self, signature):
        timestamper = client_timestamper(self.tsa_url, self.tsa_username, self.tsa_password)
        cert_registry = SimpleCertificateStore()
        ext_signer = signers.ExternalSigner(signing_cert=self.certificate, signature_value=signature,
                                            cert_registry=cert_registry, embed_roots=True)
        signed_attrs = await ext_signer.signed_attrs(self.prep_digest.document_digest, "sha256", use_pades=True)
        self.sig_cms = await ext_signer.async_sign_prescribed_attributes("sha256", signed_attrs=signed_attrs,
                                                                         timestamper=timestamper)
        validation_context = ValidationContext(allow_fetching=True)
        meta = signers.PdfSignatureMetadata(field_name=self.field_name, embed_validation_info=self.lta,
                                            use_pades_lta=self.lta, subfilter=fields.SigSeedSubFilter.PADES,
                                            validation_context=validation_context, md_algorithm="sha256",
                                            dss_settings=DSSContentSettings(include_vri=self.include_vri))
        pdf_signer = signers.PdfSigner(meta, signer=ext_signer)
        w = IncrementalPdfFileWriter(io.BytesIO(self.data))
        _, tbs_document, _ = await pdf_signer.async_digest_doc_for_signing(w)
        psi = tbs_document.post_sign_instructions
        await PdfTBSDocument.async_finish_signing(self.output_handle, prepared_digest=self.prep_digest,
                                                  signature_cms=self.sig_cms, post_sign_instr=psi,
                                                  validation_context=validation_context)


def timestamp_pdf(data, tsa_url, validation_context=None, output=None):
    """A document timestamp as the timestamping client asks for it; the output bytes."""
    output = io.BytesIO() if output is None else output
    tst_client = timestamps.HTTPTimeStamper(tsa_url)
    signers.PdfTimeStamper(tst_client).timestamp_pdf(
        pdf_out=IncrementalPdfFileWriter(io.BytesIO(data)), md_algorithm=signers.DEFAULT_MD,
        timestamper=tst_client, validation_context=validation_context, output=output)
    return output.getvalue()
