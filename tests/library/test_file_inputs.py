"""Input files read on demand: the engine parses only what it needs, the
document is copied and digested on first use, and a file that changes
meanwhile is refused instead of being signed half old, half new."""

import asyncio
import hashlib
import io
import os

import pytest

from CorvaneSDK.CorvaneSign.corvane_signature import exceptions
from CorvaneSDK import _pdfengine
from CorvaneSDK.CorvaneSign.corvane_signature.pdf_utils.file_input import FileInput, join_pieces
from CorvaneSDK.CorvaneSign.corvane_signature.pdf_utils.incremental_writer import IncrementalPdfFileWriter
from CorvaneSDK.CorvaneSign.corvane_signature.sign import fields, signers
from CorvaneSDK.CorvaneSign.corvane_signature.sign.signers.pdf_signer import PdfTBSDocument
from support import sample_pdfs
from support.library_pki import FakeSigner
from support.pdf_oracles import covered_bytes, openssl_ts_verify, pdfsig, qpdf_check, signature_contents

INPUTS = {
    "classic": sample_pdfs.qpdf(sample_pdfs.document(pages=3), "--object-streams=disable"),
    "object-streams": sample_pdfs.qpdf(sample_pdfs.document(pages=3), "--object-streams=generate"),
}


@pytest.fixture(params=sorted(INPUTS))
def input_file(request, tmp_path):
    path = tmp_path / "in.pdf"
    path.write_bytes(INPUTS[request.param])
    return path


def prepare(pki, stream, signer=None, bytes_reserved=30842, lta=False):
    signer = signer or FakeSigner(pki, signing_cert=False)
    meta = signers.PdfSignatureMetadata(field_name="Signature1", md_algorithm="sha256",
                                        subfilter=fields.SigSeedSubFilter.PADES, use_pades_lta=lta)
    pdf_signer = signers.PdfSigner(meta, signer=signer)
    return asyncio.run(pdf_signer.async_digest_doc_for_signing(IncrementalPdfFileWriter(stream),
                                                               bytes_reserved=bytes_reserved))


def container_for(pki, prepared_digest, timestamper=None):
    async def build():
        signer = FakeSigner(pki)
        attrs = await signer.signed_attrs(prepared_digest.document_digest, "sha256")
        return signer, await signer.async_sign_prescribed_attributes("sha256", signed_attrs=attrs,
                                                                     timestamper=timestamper)
    return asyncio.run(build())


def test_engine_reads_a_file_as_it_reads_the_same_bytes(input_file):
    data = input_file.read_bytes()
    with open(input_file, "rb") as handle:
        from_file = _pdfengine.open([handle.fileno()])
    # The engine reads through a descriptor of its own: the caller's is closed by now.
    from_bytes = _pdfengine.open(data)
    assert from_file.length() == len(data)
    assert from_file.fields() == from_bytes.fields()
    update, byte_range = from_file.prepare_signature("Signature1", "/ETSI.CAdES.detached", 4000)
    assert byte_range == from_bytes.prepare_signature("Signature1", "/ETSI.CAdES.detached", 4000)[1]
    assert _pdfengine.open(data + update).signatures()[0][3] == byte_range


@pytest.mark.parametrize("descriptor, words", [(-1, "small non-negative"), (987654, "cannot be read"),
                                               ("pipe", "not a regular file")])
def test_engine_refuses_what_is_no_readable_regular_file(descriptor, words):
    read_end, write_end = os.pipe()
    try:
        with pytest.raises((exceptions.PdfReadError, ValueError), match=words):
            _pdfengine.open([read_end if descriptor == "pipe" else descriptor])
    finally:
        os.close(read_end)
        os.close(write_end)


def test_b_lta_signing_of_a_file_satisfies_the_judges(pki, timestamper, input_file):
    with open(input_file, "rb") as handle:
        prepared_digest, _, output = prepare(pki, handle)
    signer, container = container_for(pki, prepared_digest, timestamper)
    with open(input_file, "rb") as handle:
        _, tbs, _ = prepare(pki, handle, signer, bytes_reserved=None, lta=True)
    asyncio.run(PdfTBSDocument.async_finish_signing(output, prepared_digest=prepared_digest,
                                                    signature_cms=container,
                                                    post_sign_instr=tbs.post_sign_instructions))
    signed = output.getvalue()
    assert signed.startswith(input_file.read_bytes())
    assert qpdf_check(signed)[0]
    assert pdfsig(signed)[0]["validation"] == "Signature is Valid."
    archival = [s for s in _pdfengine.open(signed).signatures() if s[1] == "/DocTimeStamp"][0][3]
    verified, report = openssl_ts_verify(signature_contents(signed, archival), pki.root_pem,
                                         data=covered_bytes(signed, archival))
    assert verified, report


def test_a_preparation_whose_output_is_not_used_never_reads_the_document(pki, input_file):
    # The completion's second preparation: only its instructions are used.
    with open(input_file, "rb") as handle:
        prepared_digest, tbs, output = prepare(pki, handle)
    input_file.write_bytes(b"%PDF-1.7 replaced")
    assert tbs.post_sign_instructions is not None
    # Reading the output or the digest copies the document now, and the
    # file that changed since it was opened is refused.
    with pytest.raises(exceptions.PdfReadError, match="changed|shorter"):
        output.getvalue()
    with pytest.raises(exceptions.PdfReadError, match="changed|shorter"):
        prepared_digest.document_digest


def test_refusals_come_at_preparation_even_though_the_layout_waits(pki, tmp_path):
    path = tmp_path / "no-pages.pdf"
    path.write_bytes(sample_pdfs.document(pages=0))
    with open(path, "rb") as handle, pytest.raises(exceptions.SigningError, match="no page"):
        prepare(pki, handle)


@pytest.mark.parametrize("change", ["append", "truncate", "same size, other time"])
def test_an_input_file_changed_after_opening_is_refused(input_file, change):
    with open(input_file, "rb") as handle:
        source = FileInput(handle.fileno())
    data = input_file.read_bytes()
    with open(input_file, "r+b") as handle:
        if change == "append":
            handle.seek(0, 2)
            handle.write(b"%more")
        elif change == "truncate":
            handle.truncate(len(data) // 2)
        else:
            os.utime(handle.fileno(), ns=(0, 0))
    with pytest.raises(exceptions.PdfReadError, match="changed|shorter"):
        join_pieces([b"head", source])


@pytest.mark.parametrize("target", ["file", "append-only file", "memory"])
def test_an_input_file_is_copied_whole_and_the_target_stays_positioned(input_file, tmp_path, target):
    data = input_file.read_bytes()
    with open(input_file, "rb") as handle:
        source = FileInput(handle.fileno())
    path = tmp_path / "out.pdf"
    with (io.BytesIO() if target == "memory" else open(path, "ab" if target.startswith("append") else "wb")) \
            as stream:
        stream.write(b"head")
        source.write_to(stream)
        stream.write(b"tail")
        written = stream.getvalue() if target == "memory" else None
    written = written if written is not None else path.read_bytes()
    assert written == b"head" + data + b"tail"
    digest = hashlib.sha256()
    for chunk in source.chunks(3, len(data) - 5):
        digest.update(chunk)
    assert digest.digest() == hashlib.sha256(data[3:-5]).digest()


def test_writers_of_one_file_share_its_parse_but_not_its_later_revisions(tmp_path):
    # The completion phase opens the input again: it must find the input's
    # own revision, even though the first phase's document went on from it.
    path = tmp_path / "in.pdf"
    path.write_bytes(INPUTS["classic"])
    with open(path, "rb") as stream:
        first = IncrementalPdfFileWriter(stream)
    document = first.take_document()
    update, _ = document.prepare_signature("Signature1", "/ETSI.CAdES.detached", 512)
    document.extend(update)
    with open(path, "rb") as stream:
        second = IncrementalPdfFileWriter(stream)
    second.check_signature("Signature1", "/ETSI.CAdES.detached", 512)
    assert second.field_names() == [] and second.free_field_name("Signature") == "Signature1"
    assert second.take_document().signatures() == []
    # Written over (another size): a writer opened now reads the new content.
    path.write_bytes(INPUTS["classic"] + update)
    with open(path, "rb") as stream:
        third = IncrementalPdfFileWriter(stream)
    assert third.field_names() == ["Signature1"]
    with pytest.raises(exceptions.SigningError, match="already signed"):
        third.check_signature("Signature1", "/ETSI.CAdES.detached", 512)
