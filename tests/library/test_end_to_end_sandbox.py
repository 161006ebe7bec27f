"""The library's real classes driven as the signing and timestamping clients
drive them, against the sandbox's signing service and timestamp server.
The long-term validation half of the completion is in test_long_term_validation."""

import hashlib
import io

import pytest

from CorvaneSDK import sandbox as sandbox_package
from CorvaneSDK.CorvaneSign.corvane_signature import exceptions
from CorvaneSDK.CorvaneSign.corvane_signature.pdf_utils.incremental_writer import IncrementalPdfFileWriter
from support import client_flow, sample_pdfs
from support.client_flow import ClientSigning
from support.pdf_oracles import (covered_bytes, openssl_cms_verify, openssl_ts_verify, pdfsig, qpdf_check,
                                 qpdf_encrypt, signature_contents)

ONE_PAGE = sample_pdfs.qpdf(sample_pdfs.document(), "--object-streams=disable")
MULTI_PAGE_STREAMS = sample_pdfs.qpdf(sample_pdfs.document(pages=6), "--object-streams=generate")


def sign(sandbox, data, field_name="Signature1", lta=False, signature=None):
    signing = ClientSigning(sandbox, data, field_name, lta=lta, signature=signature)
    output = signing.run()
    return signing.prep_digest, signing.sig_cms, output


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
    data = client_flow.timestamp_pdf(MULTI_PAGE_STREAMS, sandbox.open_tsa_url)
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
