"""The prepared output knows when it was touched: embedding trusts only an
untouched own output without hashing it again, and the archival timestamp
continues the digest only of an untouched beginning."""

import asyncio
import copy
import hashlib
import io
import warnings

import pytest
from asn1crypto import ocsp, x509
from cryptography import x509 as cx509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.x509.oid import AuthorityInformationAccessOID

from CorvaneSDK.CorvaneSign.corvane_certvalidator.decoding import decode_all, decode_received
from CorvaneSDK.CorvaneSign.corvane_signature import exceptions
from CorvaneSDK.CorvaneSign.corvane_signature.pdf_utils.incremental_writer import IncrementalPdfFileWriter
from CorvaneSDK.CorvaneSign.corvane_signature.sign import fields, signers
from CorvaneSDK.CorvaneSign.corvane_signature.sign.byte_range_digest import digest_byte_ranges
from CorvaneSDK.CorvaneSign.corvane_signature.sign.prepared_output import PreparedOutput
from CorvaneSDK.CorvaneSign.corvane_signature.sign.signers.pdf_signer import PdfTBSDocument
from support import sample_pdfs
from support.library_pki import FakeSigner
from support.pdf_oracles import covered_bytes

ONE_PAGE = sample_pdfs.qpdf(sample_pdfs.document(), "--object-streams=disable")


def prepare(pki):
    meta = signers.PdfSignatureMetadata(field_name="Signature1", md_algorithm="sha256",
                                        subfilter=fields.SigSeedSubFilter.PADES)
    pdf_signer = signers.PdfSigner(meta, signer=FakeSigner(pki, signing_cert=False))
    prepared_digest, _, output = asyncio.run(pdf_signer.async_digest_doc_for_signing(
        IncrementalPdfFileWriter(io.BytesIO(ONE_PAGE)), bytes_reserved=8000))
    return prepared_digest, output


def finish(pki, prepared_digest, stream):
    async def flow():
        signer = FakeSigner(pki)
        attrs = await signer.signed_attrs(prepared_digest.document_digest, "sha256")
        container = await signer.async_sign_prescribed_attributes("sha256", signed_attrs=attrs)
        await PdfTBSDocument.async_finish_signing(stream, prepared_digest=prepared_digest, signature_cms=container)
    asyncio.run(flow())


def tamper_by_write(output):
    output.seek(20)
    output.write(b"X")


def tamper_through_buffer(output):
    with output.getbuffer() as view:
        view[20] = ord("X")


def rewrite_same_bytes(output):
    output.seek(20)
    output.write(output.getvalue()[20:21])


def plain_copy(output):
    return io.BytesIO(output.getvalue())


@pytest.mark.parametrize("change, refused", [
    (None, False),
    (rewrite_same_bytes, False),  # touched, so hashed again: the bytes still match
    (tamper_by_write, True),
    (tamper_through_buffer, True),
])
def test_embedding_hashes_again_whatever_was_touched(pki, change, refused):
    prepared_digest, output = prepare(pki)
    if change is not None:
        change(output)
    if refused:
        with pytest.raises(exceptions.SigningError, match="do not hash to the prepared digest"):
            finish(pki, prepared_digest, output)
    else:
        finish(pki, prepared_digest, output)
        assert hashlib.sha256(covered_bytes(output.getvalue(), prepared_digest.byte_range)).digest() \
            == prepared_digest.document_digest
        # Later updates go on from the engine's document only while it knows every byte but the container.
        assert (output.engine_document is not None) == (change is None)


def test_a_copy_of_the_prepared_output_is_accepted_after_hashing_it(pki):
    prepared_digest, output = prepare(pki)
    for other in (plain_copy(output), copy.copy(output)):
        assert type(other) is io.BytesIO and other.getvalue() == output.getvalue()
        finish(pki, prepared_digest, other)


@pytest.mark.parametrize("offset, kept", [(0, False), ("before signature", False),
                                          ("signature", True), ("end", True)])
def test_the_digest_of_the_beginning_is_continued_only_while_untouched(pki, offset, kept):
    prepared_digest, output = prepare(pki)
    start = prepared_digest.reserved_region_start
    output.seek({"before signature": start - 1, "signature": start, "end": len(output.getvalue())}
                .get(offset, offset))
    output.write(b"<")
    prefix = output.hashed_prefix
    assert (prefix is not None) == kept
    assert output.engine_document is None
    if kept:
        data = output.getvalue()
        byte_range = (0, start + 5, len(data) - 7, 7)
        assert digest_byte_ranges([data], byte_range, prefix) == digest_byte_ranges([data], byte_range)
        assert digest_byte_ranges([data], byte_range) == hashlib.sha256(covered_bytes(data, byte_range)).digest()


def test_an_output_closed_before_its_layout_still_gives_its_digest():
    data = bytes(range(200))
    byte_range = (0, 50, 120, 80)
    output = PreparedOutput(lambda: ([data[:70], data[70:]], byte_range, None))
    output.close()
    assert output.digest == hashlib.sha256(covered_bytes(data, byte_range)).digest()


def _variants(der):
    yield der
    yield der[:-3]
    for position in range(4, len(der), max(1, len(der) // 40)):
        damaged = bytearray(der)
        damaged[position] ^= 0x5A
        yield bytes(damaged)


def _outcome(decode, asn1_type, der, refusals=(ValueError, TypeError)):
    try:
        decode(asn1_type.load(der))
        return "decoded"
    except refusals:
        return "refused"


@pytest.mark.parametrize("kind", ["certificate", "ocsp"])
def test_decoding_everything_refuses_what_native_refuses(pki, kind):
    if kind == "certificate":
        asn1_type, der = x509.Certificate, pki.tsa.asn1.dump()
    else:
        asn1_type = ocsp.OCSPResponse
        der = ocsp.OCSPResponse({"response_status": "successful", "response_bytes": {
            "response_type": "basic_ocsp_response", "response": ocsp.BasicOCSPResponse({
                "tbs_response_data": {"responder_id": {"by_key": b"\x01" * 20},
                                      "produced_at": pki.tsa.asn1.not_valid_before, "responses": []},
                "signature_algorithm": {"algorithm": "sha256_rsa"}, "signature": b"\x00" * 8})}}).dump()
    # .native also raises KeyError for unknown enumeration values; decode_all reports them as ValueError.
    outcomes = [(_outcome(decode_all, asn1_type, variant),
                 _outcome(lambda value: value.native, asn1_type, variant, (ValueError, TypeError, KeyError)))
                for variant in _variants(der)]
    assert outcomes[0] == ("decoded", "decoded")
    assert all(ours == theirs for ours, theirs in outcomes), outcomes
    assert ("refused", "refused") in outcomes


def _certificate_with_urls(pki):
    """The test TSA's certificate re-issued with the URLs the chain and revocation checks read."""
    url = cx509.UniformResourceIdentifier("http://127.0.0.1:8080/ca")
    certificate = (cx509.CertificateBuilder(pki.tsa.certificate.subject, pki.tsa.certificate.issuer,
                                            pki.tsa.certificate.public_key(),
                                            pki.tsa.certificate.serial_number,
                                            pki.tsa.certificate.not_valid_before_utc,
                                            pki.tsa.certificate.not_valid_after_utc)
                   .add_extension(cx509.AuthorityInformationAccess([
                       cx509.AccessDescription(AuthorityInformationAccessOID.CA_ISSUERS, url),
                       cx509.AccessDescription(AuthorityInformationAccessOID.OCSP, url)]), critical=False)
                   .add_extension(cx509.CRLDistributionPoints([
                       cx509.DistributionPoint([url], None, None, None)]), critical=False)
                   .sign(pki.root.key, hashes.SHA256()))
    return x509.Certificate.load(certificate.public_bytes(serialization.Encoding.DER))


@pytest.mark.parametrize("kind", ["certificate", "ocsp"])
def test_decoding_a_received_value_refuses_what_the_whole_walk_refuses(pki, kind):
    # The received value's certificates go through cryptography's parser and
    # are not walked: damage there (a URL's port, say) must be refused all the same.
    certificate = _certificate_with_urls(pki)
    asn1_type, der = x509.Certificate, certificate.dump()
    if kind == "ocsp":
        asn1_type = ocsp.OCSPResponse
        der = ocsp.OCSPResponse({"response_status": "successful", "response_bytes": {
            "response_type": "basic_ocsp_response", "response": ocsp.BasicOCSPResponse({
                "tbs_response_data": {"responder_id": {"by_key": b"\x01" * 20},
                                      "produced_at": certificate.not_valid_before, "responses": []},
                "signature_algorithm": {"algorithm": "sha256_rsa"}, "signature": b"\x00" * 8,
                "certs": [certificate]})}}).dump()
    variants = [der, der[:-3]]
    for position in range(2, len(der), 3):
        damaged = bytearray(der)
        damaged[position] ^= 0x5A
        variants.append(bytes(damaged))
    outcomes = [(_outcome(decode_received, asn1_type, variant), _outcome(decode_all, asn1_type, variant))
                for variant in variants]
    assert outcomes[0] == ("decoded", "decoded")
    assert [ours for ours, _ in outcomes] == [theirs for _, theirs in outcomes]
    assert ("refused", "refused") in outcomes


def test_a_received_certificate_cryptography_would_warn_about_decodes_silently(pki):
    # cryptography warns (into the user's output) about a serial number that is not positive.
    certificate = x509.Certificate.load(pki.tsa.asn1.dump())
    certificate["tbs_certificate"]["serial_number"] = 0
    der = certificate.dump(force=True)
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        decode_received(x509.Certificate.load(der))
    assert [str(warning.message) for warning in caught] == []
