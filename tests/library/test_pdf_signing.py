"""Preparing, signing and completing documents through the library's classes
the way the signing client drives them, judged by qpdf, pdfsig and openssl."""

import asyncio
import hashlib
import io
import re

import pytest
from asn1crypto import cms

from CorvaneSDK.CorvaneSign.corvane_signature import exceptions
from CorvaneSDK.CorvaneSign.corvane_signature.config.errors import ConfigurationError
from CorvaneSDK import _pdfengine
from CorvaneSDK.CorvaneSign.corvane_signature.pdf_utils.format import format_date, pdf_date
from CorvaneSDK.CorvaneSign.corvane_signature.pdf_utils.incremental_writer import IncrementalPdfFileWriter
from CorvaneSDK.CorvaneSign.corvane_signature.sign import fields, signers
from CorvaneSDK.CorvaneSign.corvane_signature.sign.signers.pdf_signer import DSSContentSettings, PdfTBSDocument
from support import sample_pdfs
from support.library_pki import FakeSigner
from support.pdf_oracles import (covered_bytes, openssl_cms_verify, openssl_ts_verify, pdfsig, qpdf_check,
                                 qpdf_encrypt, signature_contents)

ONE_PAGE = sample_pdfs.qpdf(sample_pdfs.document(), "--object-streams=disable")
MULTI_PAGE_STREAMS = sample_pdfs.qpdf(sample_pdfs.document(pages=5), "--object-streams=generate")


def run(coroutine):
    return asyncio.run(coroutine)


async def prepare(pki, data, field_name="Signature1", reason="Approved: Grüße", bytes_reserved=30842):
    placeholder = FakeSigner(pki, signing_cert=False)
    meta = signers.PdfSignatureMetadata(md_algorithm="sha256", reason=reason, field_name=field_name,
                                        subfilter=fields.SigSeedSubFilter.PADES)
    writer = IncrementalPdfFileWriter(io.BytesIO(data))
    result = await signers.PdfSigner(meta, signer=placeholder).async_digest_doc_for_signing(
        writer, bytes_reserved=bytes_reserved)
    return result


async def complete(pki, data, prepared_digest, output, timestamper, field_name="Signature1",
                   validation_context=None, embed_validation_info=False, use_pades_lta=False, include_vri=False):
    signer = FakeSigner(pki)
    attrs = await signer.signed_attrs(prepared_digest.document_digest, "sha256", use_pades=True)
    container = await signer.async_sign_prescribed_attributes("sha256", signed_attrs=attrs, timestamper=timestamper)
    meta = signers.PdfSignatureMetadata(field_name=field_name, embed_validation_info=embed_validation_info,
                                        use_pades_lta=use_pades_lta, subfilter=fields.SigSeedSubFilter.PADES,
                                        validation_context=validation_context, md_algorithm="sha256",
                                        dss_settings=DSSContentSettings(include_vri=include_vri))
    writer = IncrementalPdfFileWriter(io.BytesIO(data))
    _, tbs, _ = await signers.PdfSigner(meta, signer=signer).async_digest_doc_for_signing(writer)
    await PdfTBSDocument.async_finish_signing(output, prepared_digest=prepared_digest, signature_cms=container,
                                              post_sign_instr=tbs.post_sign_instructions,
                                              validation_context=validation_context)
    return container


def sign(pki, data, timestamper, **options):
    async def flow():
        field_name = options.pop("field_name", "Signature1")
        prepared_digest, _, output = await prepare(pki, data, field_name)
        container = await complete(pki, data, prepared_digest, output, timestamper, field_name, **options)
        return prepared_digest, container, bytes(output.getbuffer())
    return run(flow())


def signature_timestamp(container):
    signer_info = container["content"]["signer_infos"][0]
    token = signer_info["unsigned_attrs"][0]["values"][0]
    return token.dump(), hashlib.sha256(signer_info["signature"].native).digest()


@pytest.fixture(scope="module")
def already_signed(pki):
    from support.library_pki import FakeTimestamper
    return sign(pki, MULTI_PAGE_STREAMS, FakeTimestamper(pki))[2]


@pytest.mark.parametrize("kind", ["one-page", "multi-page-streams", "already-signed"])
def test_signed_output_satisfies_every_judge(pki, timestamper, already_signed, kind):
    data = {"one-page": ONE_PAGE, "multi-page-streams": MULTI_PAGE_STREAMS, "already-signed": already_signed}[kind]
    field_name = "Signature2" if kind == "already-signed" else "Signature1"
    prepared_digest, container, output = sign(pki, data, timestamper, field_name=field_name)

    assert output.startswith(data)
    clean, report = qpdf_check(output)
    assert clean, report
    listed = pdfsig(output)
    assert [s["field"] for s in listed] == (["Signature1", "Signature2"] if kind == "already-signed"
                                            else ["Signature1"])
    assert all(s["validation"] == "Signature is Valid." for s in listed)
    assert listed[-1]["total"]

    byte_range = prepared_digest.byte_range
    assert hashlib.sha256(covered_bytes(output, byte_range)).digest() == prepared_digest.document_digest
    der = signature_contents(output, byte_range)
    assert der == container.dump()
    verified, report = openssl_cms_verify(der, covered_bytes(output, byte_range), pki.root_pem)
    assert verified, report
    token, imprint = signature_timestamp(container)
    verified, report = openssl_ts_verify(token, pki.root_pem, digest=imprint)
    assert verified, report


def test_archival_timestamp_covers_the_whole_signed_file(pki, timestamper):
    _, _, output = sign(pki, ONE_PAGE, timestamper, use_pades_lta=True)
    assert qpdf_check(output)[0]
    listed = {s[0]: s for s in _pdfengine.open(output).signatures()}
    assert set(listed) == {"Signature1", "DocumentTimestamp1"}
    _, kind, subfilter, byte_range, _ = listed["DocumentTimestamp1"]
    assert (kind, subfilter) == ("/DocTimeStamp", "/ETSI.RFC3161")
    assert byte_range[2] + byte_range[3] == len(output)
    signature_end = listed["Signature1"][3][2] + listed["Signature1"][3][3]
    assert byte_range[1] > signature_end
    verified, report = openssl_ts_verify(signature_contents(output, byte_range), pki.root_pem,
                                         data=covered_bytes(output, byte_range))
    assert verified, report


class CollectingContext:
    """A validation context that knows the test PKI's chain."""

    def __init__(self, pki):
        self.pki = pki
        self.asked = []

    async def async_collect(self, certificate):
        self.asked.append(certificate.subject.human_friendly)
        return [self.pki.root.asn1], [], [b"\x30\x03crl"]


@pytest.mark.parametrize("include_vri", [False, True])
def test_validation_information_goes_into_the_dss_before_the_archival_timestamp(pki, timestamper, include_vri):
    context = CollectingContext(pki)
    _, container, output = sign(pki, ONE_PAGE, timestamper, validation_context=context,
                                embed_validation_info=True, use_pades_lta=True, include_vri=include_vri)
    assert qpdf_check(output)[0]
    assert [re.sub(r".*Common Name: ", "", name) for name in context.asked] == \
        ["Library Test Signer", "Library Test TSA"]
    dss_at = output.rindex(b"/DSS ")
    timestamp_at = output.rindex(b"/Type /DocTimeStamp")
    assert dss_at < timestamp_at
    assert (b"/VRI" in output) == include_vri
    for der in (pki.signer.asn1.dump(), pki.tsa.asn1.dump(), pki.root.asn1.dump(), b"\x30\x03crl"):
        assert output.count(der) >= 1
    # The root comes back for both chains; the DSS holds it once (the container is hex-encoded).
    assert output.count(pki.root.asn1.dump()) == 1


def test_prepared_digest_describes_the_prepared_bytes_even_when_read_late(pki):
    prepared_digest, tbs, output = run(prepare(pki, ONE_PAGE))
    assert tbs.output is output
    prepared = output.getvalue()
    output.seek(0)
    output.write(b"%PDF-9.9")
    byte_range = prepared_digest.byte_range
    assert prepared_digest.document_digest == hashlib.sha256(covered_bytes(prepared, byte_range)).digest()
    assert prepared_digest.document_digest != hashlib.sha256(
        covered_bytes(output.getvalue(), byte_range)).digest()


def test_completion_refusals_leave_the_output_untouched(pki, timestamper):
    async def flow():
        prepared_digest, _, output = await prepare(pki, ONE_PAGE, bytes_reserved=3000)
        other_digest, _, other_output = await prepare(pki, MULTI_PAGE_STREAMS)
        signer = FakeSigner(pki)
        attrs = await signer.signed_attrs(prepared_digest.document_digest, "sha256")
        container = await signer.async_sign_prescribed_attributes("sha256", signed_attrs=attrs,
                                                                  timestamper=timestamper)
        before = output.getvalue()
        cases = [
            (dict(output=output, prepared_digest=prepared_digest, signature_cms=container),
             "bytes were reserved"),
            (dict(output=other_output, prepared_digest=other_digest, signature_cms=container),
             "another digest"),
            (dict(output=output, prepared_digest=prepared_digest, signature_cms=b"\x30\x03abc"),
             "not a usable CMS"),
        ]
        small = await signer.async_sign_prescribed_attributes("sha256", signed_attrs=attrs)
        ltv = _instructions(pki, signer, embed_validation_info=True)
        cases.append((dict(output=output, prepared_digest=prepared_digest, signature_cms=small,
                           post_sign_instr=ltv, validation_context=object()), "cannot be gathered"))
        lta = _instructions(pki, FakeSigner(pki), use_pades_lta=True)
        cases.append((dict(output=output, prepared_digest=prepared_digest, signature_cms=small,
                           post_sign_instr=lta), "needs a timestamper"))
        for arguments, words in cases:
            with pytest.raises(exceptions.CorvaneSignError, match=words):
                await PdfTBSDocument.async_finish_signing(**arguments)
            assert output.getvalue() == before
        with pytest.raises(exceptions.SigningError, match="needs a timestamper"):
            await lta.append_archival_timestamp(output)  # called on its own, without the check first
        assert output.getvalue() == before
        # A prepared digest of another document of the same shape is caught by the digest check.
        swapped_digest, _, _ = await prepare(pki, ONE_PAGE.replace(b"Hello", b"Jello"), bytes_reserved=3000)
        swapped_attrs = await signer.signed_attrs(swapped_digest.document_digest, "sha256")
        swapped = await signer.async_sign_prescribed_attributes("sha256", signed_attrs=swapped_attrs)
        with pytest.raises(exceptions.SigningError, match="do not hash to the prepared digest"):
            await PdfTBSDocument.async_finish_signing(output, prepared_digest=swapped_digest, signature_cms=swapped)
        await PdfTBSDocument.async_finish_signing(output, prepared_digest=prepared_digest, signature_cms=small)
        with pytest.raises(exceptions.SigningError, match="already signed"):
            await PdfTBSDocument.async_finish_signing(output, prepared_digest=prepared_digest, signature_cms=small)
    run(flow())


def _instructions(pki, signer, **settings):
    meta = signers.PdfSignatureMetadata(field_name="Signature1", **settings)
    writer = IncrementalPdfFileWriter(io.BytesIO(ONE_PAGE))
    return run_in_loop(signers.PdfSigner(meta, signer=signer).async_digest_doc_for_signing(writer))[1] \
        .post_sign_instructions


def run_in_loop(coroutine):
    # Inside the running test loop, drive a coroutine that never suspends.
    try:
        coroutine.send(None)
    except StopIteration as done:
        return done.value
    raise AssertionError("the preparation suspended")


@pytest.mark.parametrize("source, error, words", [
    (b"plain text", exceptions.PdfReadError, "not a PDF"),
    (io.StringIO("%PDF-1.7"), exceptions.PdfReadError, "text mode"),
    (None, TypeError, "binary stream"),
])
def test_writer_refuses_what_it_cannot_read(source, error, words):
    with pytest.raises(error, match=words):
        IncrementalPdfFileWriter(io.BytesIO(source) if isinstance(source, bytes) else source)


def test_writer_refuses_documents_that_need_a_password():
    with pytest.raises(exceptions.PdfEncryptedError, match="user password"):
        IncrementalPdfFileWriter(io.BytesIO(qpdf_encrypt(ONE_PAGE, "secret")))


def test_a_signed_field_of_the_same_name_is_refused_at_preparation(pki, already_signed):
    with pytest.raises(exceptions.SigningError, match="'Signature1' is already signed"):
        run(prepare(pki, already_signed))


@pytest.mark.parametrize("settings, words", [
    (dict(md_algorithm="sha1"), "not supported"),
    (dict(subfilter=fields.SigSeedSubFilter.ETSI_RFC3161), "document timestamps"),
    (dict(subfilter="/x.unknown"), "unknown signature subfilter"),
])
def test_metadata_refuses_settings_it_cannot_honour(settings, words):
    with pytest.raises(ConfigurationError, match=words):
        signers.PdfSignatureMetadata(**settings)


def test_dates():
    assert re.fullmatch(r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d [+-]\d{4}", format_date())
    assert re.fullmatch(r"D:\d{14}[+-]\d\d'\d\d'", pdf_date())
