"""Document timestamps through PdfTimeStamper, as the timestamping client
drives it: judged by qpdf and openssl ts -verify over the covered bytes."""

import asyncio
import io

import pytest

from CorvaneSDK.CorvaneSign.corvane_signature import exceptions
from CorvaneSDK import _pdfengine
from CorvaneSDK.CorvaneSign.corvane_signature.pdf_utils.incremental_writer import IncrementalPdfFileWriter
from CorvaneSDK.CorvaneSign.corvane_signature.sign import signers
from support import sample_pdfs
from support.library_pki import FakeTimestamper
from support.pdf_oracles import covered_bytes, openssl_ts_verify, qpdf_check, signature_contents

INPUT = sample_pdfs.qpdf(sample_pdfs.document(pages=2), "--object-streams=generate")


class CollectingContext:
    """Collects per certificate (the TSA's certificate is the only one here)."""

    def __init__(self, pki):
        self.pki = pki

    async def async_collect(self, certificate):
        assert certificate.dump() == self.pki.tsa.asn1.dump()
        return [self.pki.root.asn1], [b"\x30\x04ocsp"], []


class CmsCollectingContext(CollectingContext):
    """Collects for a whole CMS container, chains and timestamps included."""

    async def async_collect_for_cms(self, content_info):
        return [self.pki.tsa.asn1, self.pki.root.asn1], [b"\x30\x04ocsp"], []


def timestamp(tsa, output, validation_context=None, data=INPUT):
    writer = IncrementalPdfFileWriter(io.BytesIO(data))
    return signers.PdfTimeStamper(tsa).timestamp_pdf(
        pdf_out=writer, md_algorithm=signers.DEFAULT_MD, timestamper=tsa,
        validation_context=validation_context, output=output)


def timestamp_between_files(tsa, folder, validation_context=None, output_before=b""):
    """Timestamps INPUT read from a file into a file that holds ``output_before``;
    returns what the output file holds then."""
    (folder / "in.pdf").write_bytes(INPUT)
    (folder / "out.pdf").write_bytes(output_before)
    with open(folder / "in.pdf", "rb") as source, open(folder / "out.pdf", "ab") as output:
        signers.PdfTimeStamper(tsa).timestamp_pdf(
            pdf_out=IncrementalPdfFileWriter(source), timestamper=tsa,
            validation_context=validation_context, output=output)
    return (folder / "out.pdf").read_bytes()


def timestamps_of(output):
    return [s for s in _pdfengine.open(output).signatures() if s[1] == "/DocTimeStamp"]


@pytest.mark.parametrize("padding, given", [(0, True), (20000, True), (0, False)],
                         ids=["usual-token", "oversized-token", "new-stream"])
def test_timestamped_output_verifies_over_the_covered_bytes(pki, padding, given):
    tsa = FakeTimestamper(pki, padding_bytes=padding)
    output = io.BytesIO() if given else None
    stream = timestamp(tsa, output)
    assert stream is output or not given
    data = stream.getvalue()
    # Positioned after the document, as a stream written to is: what is written next follows it.
    assert stream.tell() == len(data)
    assert data.startswith(INPUT)
    clean, report = qpdf_check(data)
    assert clean, report
    [(field, _, subfilter, byte_range, _)] = timestamps_of(data)
    assert (field, subfilter) == ("DocumentTimestamp1", "/ETSI.RFC3161")
    assert byte_range[2] + byte_range[3] == len(data)
    verified, report = openssl_ts_verify(signature_contents(data, byte_range), pki.root_pem,
                                         data=covered_bytes(data, byte_range))
    assert verified, report
    # An oversized token costs one more request, with room made for it.
    assert len(tsa.requests) == (2 if padding else 1)


@pytest.mark.parametrize("padding", [0, 20000], ids=["usual-token", "oversized-token"])
def test_file_to_file_timestamps_verify(pki, padding, tmp_path):
    # The input is copied to the output file while its digest is taken.
    tsa = FakeTimestamper(pki, padding_bytes=padding)
    data = timestamp_between_files(tsa, tmp_path)
    assert data.startswith(INPUT) and qpdf_check(data)[0]
    [(_, _, _, byte_range, _)] = timestamps_of(data)
    verified, report = openssl_ts_verify(signature_contents(data, byte_range), pki.root_pem,
                                         data=covered_bytes(data, byte_range))
    assert verified, report


@pytest.mark.parametrize("context_kind", [CollectingContext, CmsCollectingContext])
def test_the_timestamp_authority_chain_goes_into_the_dss(pki, timestamper, context_kind):
    output = io.BytesIO()
    timestamp(timestamper, output, validation_context=context_kind(pki))
    data = output.getvalue()
    assert qpdf_check(data)[0]
    assert data.index(b"/DocTimeStamp") < data.index(b"/DSS")
    for der in (pki.tsa.asn1.dump(), pki.root.asn1.dump(), b"\x30\x04ocsp"):
        assert data.count(der) == 1


def test_async_timestamping_and_the_synchronous_call_inside_a_running_loop(pki, timestamper):
    async def flow():
        writer = IncrementalPdfFileWriter(io.BytesIO(INPUT))
        first = await signers.PdfTimeStamper(timestamper).async_timestamp_pdf(
            writer, "sha256", validation_context=CollectingContext(pki))
        second = timestamp(timestamper, io.BytesIO(), validation_context=CollectingContext(pki),
                           data=first.getvalue())
        return second.getvalue()
    data = asyncio.run(flow())
    assert qpdf_check(data)[0]
    assert [s[0] for s in timestamps_of(data)] == ["DocumentTimestamp1", "DocumentTimestamp2"]


class WrongDigestTimestamper(FakeTimestamper):
    def timestamp(self, message_digest, md_algorithm="sha256"):
        return super().timestamp(bytes(32), md_algorithm)


@pytest.mark.parametrize("make_tsa, context, error, words", [
    (WrongDigestTimestamper, None, exceptions.TimestampError, "another digest"),
    (FakeTimestamper, object(), exceptions.ValidationInfoUnavailableError, "cannot be gathered"),
])
def test_failures_write_nothing(pki, make_tsa, context, error, words, tmp_path):
    output = io.BytesIO()
    with pytest.raises(error, match=words):
        timestamp(make_tsa(pki), output, validation_context=context)
    assert output.getvalue() == b""
    # Also when the input had already been copied into an output file.
    with pytest.raises(error, match=words):
        timestamp_between_files(make_tsa(pki), tmp_path, context, output_before=b"kept")
    assert (tmp_path / "out.pdf").read_bytes() == b"kept"
