"""The library's real classes driven as the signing and timestamping clients
drive them, against the sandbox's signing service and timestamp server.

Runs once the sandbox and the CMS/timestamp/validation classes are part of
the build; until then it is skipped."""

import asyncio
import hashlib
import io

import pytest

sandbox_package = pytest.importorskip("CorvaneSDK.sandbox")

from CorvaneSDK.CorvaneSign.corvane_certvalidator import ValidationContext  # noqa: E402
from CorvaneSDK.CorvaneSign.corvane_certvalidator.registry import SimpleCertificateStore  # noqa: E402
from CorvaneSDK.CorvaneSign.corvane_signature import exceptions  # noqa: E402
from CorvaneSDK.CorvaneSign.corvane_signature.pdf_utils.incremental_writer import IncrementalPdfFileWriter  # noqa: E402
from CorvaneSDK.CorvaneSign.corvane_signature.sign import fields, signers, timestamps  # noqa: E402
from CorvaneSDK.CorvaneSign.corvane_signature.sign.signers.pdf_signer import (  # noqa: E402
    DSSContentSettings, PdfTBSDocument)
from support import sample_pdfs  # noqa: E402
from support.pdf_oracles import (covered_bytes, openssl_cms_verify, openssl_ts_verify, pdfsig,  # noqa: E402
                                 qpdf_check, qpdf_encrypt, signature_contents)


def _built(factory):
    try:
        factory()
    except NotImplementedError:
        return False
    return True


pytestmark = pytest.mark.skipif(
    not _built(lambda: timestamps.HTTPTimeStamper("http://127.0.0.1:9/")),
    reason="the library's CMS and timestamp classes are not built in this tree")

BYTES_RESERVED = 30842
ONE_PAGE = sample_pdfs.qpdf(sample_pdfs.document(), "--object-streams=disable")
MULTI_PAGE_STREAMS = sample_pdfs.qpdf(sample_pdfs.document(pages=6), "--object-streams=generate")


async def prep_document(data, field_name, reason):
    ext_signer = signers.ExternalSigner(signature_value=bytes(256), signing_cert=None, cert_registry=None)
    meta = signers.PdfSignatureMetadata(md_algorithm="sha256", reason=reason, field_name=field_name,
                                        subfilter=fields.SigSeedSubFilter.PADES)
    pdf_signer = signers.PdfSigner(meta, signer=ext_signer)
    w = IncrementalPdfFileWriter(io.BytesIO(data))
    prep_digest, _, output_handle = await pdf_signer.async_digest_doc_for_signing(w, bytes_reserved=BYTES_RESERVED)
    return prep_digest, output_handle


async def proceed_with_signing(data, field_name, prep_digest, output_handle, signature, certificate,
                               timestamp_url, lta):
    timestamper = timestamps.HTTPTimeStamper(timestamp_url)
    ext_signer = signers.ExternalSigner(signing_cert=certificate, signature_value=signature,
                                        cert_registry=SimpleCertificateStore(), embed_roots=True)
    signed_attrs = await ext_signer.signed_attrs(prep_digest.document_digest, "sha256", use_pades=True)
    sig_cms = await ext_signer.async_sign_prescribed_attributes("sha256", signed_attrs=signed_attrs,
                                                                timestamper=timestamper)
    validation_context = ValidationContext(allow_fetching=True)
    meta = signers.PdfSignatureMetadata(field_name=field_name, embed_validation_info=lta, use_pades_lta=lta,
                                        subfilter=fields.SigSeedSubFilter.PADES,
                                        validation_context=validation_context, md_algorithm="sha256",
                                        dss_settings=DSSContentSettings(include_vri=False))
    pdf_signer = signers.PdfSigner(meta, signer=ext_signer)
    _, tbs_document, _ = await pdf_signer.async_digest_doc_for_signing(IncrementalPdfFileWriter(io.BytesIO(data)))
    await PdfTBSDocument.async_finish_signing(output_handle, prepared_digest=prep_digest, signature_cms=sig_cms,
                                              post_sign_instr=tbs_document.post_sign_instructions,
                                              validation_context=validation_context)
    return sig_cms


def sign(sandbox, data, field_name="Signature1", lta=False, signature=None):
    async def flow():
        prep_digest, output_handle = await prep_document(data, field_name, "Date Time: now, Signer Name: Ünïcødé")
        value, certificate = sandbox.sign_digest(prep_digest.document_digest)
        sig_cms = await proceed_with_signing(data, field_name, prep_digest, output_handle,
                                             signature or value, certificate, sandbox.open_tsa_url, lta)
        return prep_digest, sig_cms, bytes(output_handle.getbuffer())
    return asyncio.run(flow())


@pytest.fixture(scope="module")
def already_signed(_sandbox_session):
    return sign(_sandbox_session, MULTI_PAGE_STREAMS)[2]


@pytest.mark.parametrize("kind", ["one-page", "multi-page-streams", "already-signed"])
def test_signed_documents_pass_every_judge(sandbox, already_signed, kind):
    data = {"one-page": ONE_PAGE, "multi-page-streams": MULTI_PAGE_STREAMS, "already-signed": already_signed}[kind]
    field_name = "Signature2" if kind == "already-signed" else "Signature1"
    prep_digest, sig_cms, output = sign(sandbox, data, field_name)

    assert output.startswith(data)
    clean, report = qpdf_check(output)
    assert clean, report
    listed = pdfsig(output)
    assert [s["field"] for s in listed][-1] == field_name
    assert len(listed) == (2 if kind == "already-signed" else 1)
    assert all(s["validation"] == "Signature is Valid." for s in listed)

    byte_range = prep_digest.byte_range
    container = signature_contents(output, byte_range)
    verified, report = openssl_cms_verify(container, covered_bytes(output, byte_range), sandbox.ca_bundle_path)
    assert verified, report
    signer_info = sig_cms["content"]["signer_infos"][0]
    token = signer_info["unsigned_attrs"][0]["values"][0].dump()
    imprint = hashlib.sha256(signer_info["signature"].native).digest()
    verified, report = openssl_ts_verify(token, sandbox.ca_bundle_path, digest=imprint)
    assert verified, report


def test_timestamp_pdf_output_verifies(sandbox):
    output = io.BytesIO()
    tst_client = timestamps.HTTPTimeStamper(sandbox.open_tsa_url)
    signers.PdfTimeStamper(tst_client).timestamp_pdf(
        pdf_out=IncrementalPdfFileWriter(io.BytesIO(MULTI_PAGE_STREAMS)), md_algorithm=signers.DEFAULT_MD,
        timestamper=tst_client, validation_context=None, output=output)
    data = output.getvalue()
    assert data.startswith(MULTI_PAGE_STREAMS)
    assert qpdf_check(data)[0]
    start = data.rindex(b"/ByteRange [")
    byte_range = [int(n) for n in data[start + 12:data.index(b"]", start)].split()]
    verified, report = openssl_ts_verify(signature_contents(data, byte_range), sandbox.ca_bundle_path,
                                         data=covered_bytes(data, byte_range))
    assert verified, report


@pytest.mark.parametrize("fault, error", [
    ("wrong-signature", exceptions.CorvaneSignError),
    ("tsa-reject", exceptions.TimestampError),
    ("tsa-wrong-nonce", exceptions.TimestampError),
    ("tsa-unreachable", exceptions.TimestampError),
])
def test_failures_raise_library_errors(sandbox, fault, error):
    signature = None
    if fault == "wrong-signature":
        signature = bytes(256)
    elif fault == "tsa-reject":
        sandbox.faults.tsa_reject()
    elif fault == "tsa-wrong-nonce":
        sandbox.faults.tsa_wrong_nonce()
    else:
        sandbox.faults.drop(sandbox_package.OPEN_TSA_PATH)
    with pytest.raises(error):
        sign(sandbox, ONE_PAGE, signature=signature)


@pytest.mark.parametrize("data, error", [
    (qpdf_encrypt(ONE_PAGE, "secret"), exceptions.PdfEncryptedError),
    (b"%!PS-Adobe-3.0 not a PDF", exceptions.PdfReadError),
])
def test_unreadable_inputs_are_refused(data, error):
    with pytest.raises(error):
        IncrementalPdfFileWriter(io.BytesIO(data))


def test_signed_field_of_the_same_name_is_refused(sandbox, already_signed):
    with pytest.raises(exceptions.SigningError, match="already signed"):
        sign(sandbox, already_signed, "Signature1")


def test_completion_as_the_client_asks_gives_a_dss_and_an_archival_timestamp(sandbox):
    _, _, output = sign(sandbox, MULTI_PAGE_STREAMS, lta=True)
    assert output.startswith(MULTI_PAGE_STREAMS)
    assert qpdf_check(output)[0]
    assert [s["validation"] for s in pdfsig(output)][0] == "Signature is Valid."
    assert b"/VRI" not in output
    assert output.rindex(b"/DSS") < output.rindex(b"/Type /DocTimeStamp")
    start = output.rindex(b"/ByteRange [")
    byte_range = [int(n) for n in output[start + 12:output.index(b"]", start)].split()]
    assert byte_range[2] + byte_range[3] == len(output)
    verified, report = openssl_ts_verify(signature_contents(output, byte_range), sandbox.ca_bundle_path,
                                         data=covered_bytes(output, byte_range))
    assert verified, report
