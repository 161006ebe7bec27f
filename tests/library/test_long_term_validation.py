"""Long-term validation against the sandbox: the completion as the signing
client asks for it (validation information in the DSS, no /VRI, then an
archival document timestamp), LTV-enabled document timestamps, and the
revocation failures that must stop the completion right after the container.

pdfsig (poppler 22) does not verify RFC 3161 document timestamps; those are
judged by openssl ts -verify over their byte ranges."""

import collections
import hashlib
import io
import re
import zlib

import pytest
import requests
from asn1crypto import cms, ocsp, x509
from asn1crypto import crl as asn1_crl

from CorvaneSDK.CorvaneSign.corvane_certvalidator import ValidationContext
from CorvaneSDK.CorvaneSign.corvane_signature import exceptions
from CorvaneSDK.sandbox.paths import AUTH_TSA_PATH, OPEN_TSA_PATH, TSA_PATHS, crl_path
from support import client_flow, sample_pdfs
from support.client_flow import ClientSigning
from support.pdf_oracles import (DocumentSecurityStore, covered_bytes, der_length, openssl_cms_verify,
                                 openssl_crl_verify, openssl_ocsp_verify, openssl_ts_verify, pdfsig, qpdf_check,
                                 signature_fields)

ONE_PAGE = sample_pdfs.qpdf(sample_pdfs.document(), "--object-streams=disable")
MULTI_PAGE_STREAMS = sample_pdfs.qpdf(sample_pdfs.document(pages=4), "--object-streams=generate")


def revision_ends(data):
    """Offsets just past each %%EOF marker: where each revision of the file ends."""
    return [match.end() for match in re.finditer(rb"%%EOF\r?\n?", data)]


def _ders(certs):
    return [cert.dump() for cert in certs]


def covered_by_revocation_data(sandbox, dss):
    """Certificates (DER) that an OCSP response or a CRL in ``dss`` vouches for.

    Each OCSP response must pass openssl ocsp with the sandbox's CA bundle and
    each CRL openssl crl -verify; a response that fails is an assertion error.
    """
    certs = [x509.Certificate.load(der) for der in dss.certs]
    covered = set()
    for der in dss.ocsps:
        single = ocsp.OCSPResponse.load(der).basic_ocsp_response["tbs_response_data"]["responses"][0]
        cert_id = single["cert_id"]
        issuer = next(c for c in certs if c.public_key.sha1 == cert_id["issuer_key_hash"].native)
        subject = next(c for c in certs
                       if c.serial_number == cert_id["serial_number"].native and c.issuer == issuer.subject)
        good, report = openssl_ocsp_verify(der, sandbox.ca_bundle_path, issuer.dump(), subject.dump())
        assert good, report
        covered.add(subject.dump())
    for der in dss.crls:
        verified, report = openssl_crl_verify(der, sandbox.ca_bundle_path)
        assert verified, report
        tbs = asn1_crl.CertificateList.load(der)["tbs_cert_list"]
        revoked = {entry["user_certificate"].native for entry in tbs["revoked_certificates"]}
        covered.update(c.dump() for c in certs if c.issuer == tbs["issuer"] and c.serial_number not in revoked)
    return covered


def both_chains(sandbox, signer_cert):
    pki = sandbox.pki
    return [signer_cert, pki.signer_ca, pki.root, pki.tsa, pki.tsa_ca]


def check_lta_output(sandbox, signing):
    """Everything the B-LTA completion promises about ``signing``'s output.
    Returns the DSS of the finished document."""
    data, output = signing.data, signing.output
    assert signing.prepared.startswith(data)
    clean, report = qpdf_check(output)
    assert clean, report

    # Three revisions after the input: the signature, the DSS, the archival timestamp.
    ends = [end for end in revision_ends(output) if end > len(data)]
    assert ends == [len(signing.prepared), ends[1], len(output)], ends
    new = [s for s in signature_fields(output) if s["byte_range"][1] > len(data)]
    assert [(s["field"], s["type"], s["subfilter"]) for s in new] == [
        (signing.field_name, "/Sig", "/ETSI.CAdES.detached"),
        (new[1]["field"], "/DocTimeStamp", "/ETSI.RFC3161")]
    signature, archival = new
    signed_range, archived_range = signature["byte_range"], archival["byte_range"]
    assert signed_range[2] + signed_range[3] == len(signing.prepared)
    assert covered_bytes(output, signed_range) == covered_bytes(signing.prepared, signed_range)
    assert archived_range[0] == 0 and archived_range[2] + archived_range[3] == len(output)
    assert archived_range[1] > ends[1]  # the timestamp's own update follows the DSS

    container = der_only(signature["contents"])
    assert container == signing.sig_cms.dump()
    verified, report = openssl_cms_verify(container, covered_bytes(output, signed_range), sandbox.ca_bundle_path)
    assert verified, report
    verified, report = openssl_ts_verify(der_only(archival["contents"]), sandbox.ca_bundle_path,
                                         data=covered_bytes(output, archived_range))
    assert verified, report
    listed = {s["field"]: s for s in pdfsig(output)}
    assert listed[signing.field_name]["validation"] == "Signature is Valid."
    assert listed[archival["field"]]["total"]

    # The DSS arrives in the middle revision; the other two leave it alone.
    dss = DocumentSecurityStore(output)
    assert DocumentSecurityStore(output[:ends[0]]).refs == DocumentSecurityStore(data).refs
    assert DocumentSecurityStore(output[:ends[1]]).refs == dss.refs
    assert ("/VRI" in dss.entries) == signing.include_vri
    for key in dss.KEYS:
        assert all(item is not None for item in dss.data(key)), key  # every item is a referenced stream
        assert len(set(dss.data(key))) == len(dss.data(key)), key
    # Both chains, and revocation data for all but the root. The archival
    # timestamp's authority is the signature timestamp's, so it is covered too.
    chains = both_chains(sandbox, signing.certificate)
    assert set(_ders(chains)) <= set(dss.certs)
    covered = covered_by_revocation_data(sandbox, dss)
    assert set(_ders(chains[:2] + chains[3:])) <= covered
    assert timestamp_authority(archival["contents"]).dump() in covered
    return dss


def der_only(contents):
    """The DER value at the start of a /Contents string, without the padding."""
    return contents[:der_length(contents)]


def timestamp_authority(contents):
    """The certificate that signed the timestamp token at the start of ``contents``."""
    token = cms.ContentInfo.load(der_only(contents))
    [authority] = [choice.chosen for choice in token["content"]["certificates"]
                   if choice.chosen.extended_key_usage_value is not None
                   and "time_stamping" in choice.chosen.extended_key_usage_value.native]
    return authority


def lta_signing(sandbox, data, field_name="Signature1", **options):
    signing = ClientSigning(sandbox, data, field_name, lta=True, **options)
    signing.run()
    return signing


def document_with_foreign_dss(sandbox):
    """A document whose DSS another tool wrote: Flate-compressed streams, an
    indirect /Certs array, the sandbox root (which the signing needs again)
    and a certificate, an OCSP response and a CRL the signing has no use for."""
    ecdsa_cert = sandbox.sign_digest(bytes(32), pki="ecdsa")[1]
    _, ocsps, _ = ValidationContext(allow_fetching=True).collect(ecdsa_cert)
    crl = requests.get(sandbox.url + crl_path("root"), timeout=10).content

    def stream(der, compress=False):
        body, extra = (zlib.compress(der), b" /Filter /FlateDecode") if compress else (der, b"")
        return b"<< /Length %d%s >>\nstream\n%s\nendstream" % (len(body), extra, body)

    data = sample_pdfs.with_update(sample_pdfs.document(), {
        1: b"<< /Type /Catalog /Pages 2 0 R /DSS 10 0 R >>",
        10: b"<< /Certs 11 0 R /OCSPs [13 0 R] /CRLs [14 0 R] >>",
        11: b"[15 0 R 12 0 R]",
        12: stream(ecdsa_cert.dump()),
        13: stream(ocsps[0].dump(), compress=True),
        14: stream(crl),
        15: stream(sandbox.pki.root.dump(), compress=True),
    })
    sandbox.clear_requests()
    return data


@pytest.mark.parametrize("kind", ["plain", "foreign-dss", "document-timestamped", "lta-signed"])
def test_client_completion_gives_an_archival_document(sandbox, kind):
    field_name = "Signature1"
    if kind == "plain":
        data = MULTI_PAGE_STREAMS
    elif kind == "foreign-dss":
        data = document_with_foreign_dss(sandbox)
    elif kind == "document-timestamped":
        data = client_flow.timestamp_pdf(ONE_PAGE, sandbox.open_tsa_url, ValidationContext(allow_fetching=True))
    else:
        data = lta_signing(sandbox, MULTI_PAGE_STREAMS).output
        field_name = "Signature2"
    before = DocumentSecurityStore(data)
    earlier = signature_fields(data)

    signing = lta_signing(sandbox, data, field_name)
    dss = check_lta_output(sandbox, signing)

    # Merged, not replaced: what the input's DSS held is still there, each item once.
    assert before.present == (kind != "plain")
    for key in dss.KEYS:
        assert set(before.data(key)) <= set(dss.data(key)), key
    assert dss.certs.count(sandbox.pki.root.dump()) == 1
    # Earlier signatures and timestamps still verify over their own ranges.
    output = signing.output
    listed = pdfsig(output)
    assert len(listed) == len(earlier) + 2
    assert all(s["validation"] == "Signature is Valid." for s in listed if s["type"] != "unknown")
    for signature in earlier:
        if signature["type"] == "/DocTimeStamp":
            verified, report = openssl_ts_verify(der_only(signature["contents"]), sandbox.ca_bundle_path,
                                                 data=covered_bytes(output, signature["byte_range"]))
            assert verified, report


def test_archival_timestamp_comes_from_the_signature_timestamp_server(sandbox):
    lta_signing(sandbox, ONE_PAGE, tsa_url=sandbox.tsa_url, tsa_username=sandbox.tsa_username,
                tsa_password=sandbox.tsa_password)
    recorded = sandbox.requests
    to_tsa = [r for r in recorded if r.path in TSA_PATHS]
    assert [r.path for r in to_tsa] == [AUTH_TSA_PATH, AUTH_TSA_PATH]
    assert to_tsa[0].headers.get("Authorization") == to_tsa[1].headers.get("Authorization") is not None
    # Signature timestamp first, validation data next, the archival timestamp last.
    assert recorded[0] is to_tsa[0] and recorded[-1] is to_tsa[1]
    assert any(r.path.startswith("/ocsp/") for r in recorded)
    # Nothing is fetched twice in one completion.
    counts = collections.Counter((r.method, r.path, r.body) for r in recorded)
    assert max(counts.values()) == 1


@pytest.mark.parametrize("how", ["error", "drop"])
def test_crls_stand_in_for_an_unreachable_ocsp_responder(sandbox, how):
    sandbox.faults.ocsp_down(how=how)
    signing = lta_signing(sandbox, ONE_PAGE)
    dss = check_lta_output(sandbox, signing)
    assert dss.ocsps == []
    issuers = sorted(asn1_crl.CertificateList.load(der)["tbs_cert_list"]["issuer"].dump() for der in dss.crls)
    pki = sandbox.pki
    assert issuers == sorted(cert.subject.dump() for cert in (pki.root, pki.signer_ca, pki.tsa_ca))


def _revoke(sandbox, which):
    cert = sandbox.sign_digest(bytes(32))[1] if which == "signer" else sandbox.pki.tsa
    sandbox.revoke(cert, reason="key_compromise")
    return cert.subject.native["common_name"]


@pytest.mark.parametrize("fault, error, words", [
    pytest.param("no-revocation-source", exceptions.ValidationError,
                 "no revocation information .*OCSP responder .*CRL distribution point", id="no-revocation-source"),
    pytest.param("revoked-signer", exceptions.RevokedCertificateError, "is revoked", id="revoked-signer"),
    pytest.param("revoked-tsa", exceptions.RevokedCertificateError, "is revoked", id="revoked-tsa"),
    pytest.param("ocsp-wrong-key", exceptions.ValidationError, "OCSP response from .* did not certify",
                 id="ocsp-wrong-key"),
    pytest.param("aia-loop", exceptions.ValidationError, "does not reach a root: .*loop", id="aia-loop"),
])
def test_revocation_failures_stop_right_after_the_container(sandbox, fault, error, words):
    if fault == "no-revocation-source":
        sandbox.faults.ocsp_down()
        sandbox.faults.crl_down(how="drop")
    elif fault.startswith("revoked-"):
        words = re.escape(_revoke(sandbox, fault[len("revoked-"):])) + ".*" + words
    elif fault == "ocsp-wrong-key":
        sandbox.faults.ocsp_wrong_key()
    else:
        sandbox.faults.aia_loop()
    signing = ClientSigning(sandbox, ONE_PAGE, lta=True)
    with pytest.raises(error, match=words):
        signing.run()

    # The stream is the prepared document with the container in its reserved
    # room, and nothing after it: no DSS update and no archival timestamp.
    start = signing.prep_digest.byte_range[1] + 1
    hex_der = signing.sig_cms.dump().hex().upper().encode("ascii")
    expected = signing.prepared[:start] + hex_der + signing.prepared[start + len(hex_der):]
    assert signing.output == expected
    assert [r.path for r in sandbox.requests if r.path in TSA_PATHS] == [OPEN_TSA_PATH]


def test_vri_entries_on_request(sandbox):
    sandbox.faults.respond("/ocsp/signer-ca", 404)  # the signer's status then comes from its CA's CRL
    signing = lta_signing(sandbox, ONE_PAGE, include_vri=True)
    dss = check_lta_output(sandbox, signing)
    assert dss.ocsps and dss.crls
    # Keyed by the SHA-1 of the signature's /Contents string, as it stands in the file.
    signature = next(s for s in signature_fields(signing.output) if s["field"] == "Signature1")
    key = hashlib.sha1(signature["contents"]).hexdigest().upper()
    assert list(dss.vri_refs) == [key]
    # The entry points at the streams of the document-wide arrays, not at copies.
    entry = dss.vri_refs[key]
    for name, key_of_array in (("/Cert", "/Certs"), ("/OCSP", "/OCSPs"), ("/CRL", "/CRLs")):
        assert sorted(entry[name]) == sorted(dss.refs[key_of_array]), name


def test_document_timestamp_with_a_fetching_context_is_ltv_enabled(sandbox):
    output = client_flow.timestamp_pdf(MULTI_PAGE_STREAMS, sandbox.open_tsa_url,
                                       ValidationContext(allow_fetching=True))
    assert output.startswith(MULTI_PAGE_STREAMS)
    clean, report = qpdf_check(output)
    assert clean, report
    [timestamp] = signature_fields(output)
    assert (timestamp["type"], timestamp["subfilter"]) == ("/DocTimeStamp", "/ETSI.RFC3161")
    verified, report = openssl_ts_verify(der_only(timestamp["contents"]), sandbox.ca_bundle_path,
                                         data=covered_bytes(output, timestamp["byte_range"]))
    assert verified, report
    # The timestamp's revision, then the one adding its authority's validation data.
    ends = [end for end in revision_ends(output) if end > len(MULTI_PAGE_STREAMS)]
    assert len(ends) == 2 and timestamp["byte_range"][2] + timestamp["byte_range"][3] == ends[0]
    assert not DocumentSecurityStore(output[:ends[0]]).present
    dss = DocumentSecurityStore(output)
    pki = sandbox.pki
    assert set(_ders([pki.tsa, pki.tsa_ca, pki.root])) <= set(dss.certs)
    assert set(_ders([pki.tsa, pki.tsa_ca])) <= covered_by_revocation_data(sandbox, dss)
    assert "/VRI" not in dss.entries


def test_document_timestamp_without_revocation_data_writes_nothing(sandbox):
    sandbox.faults.ocsp_down(how="drop")
    sandbox.faults.crl_down()
    output = io.BytesIO()
    with pytest.raises(exceptions.ValidationError, match="no revocation information for certificate .*Timestamp"):
        client_flow.timestamp_pdf(ONE_PAGE, sandbox.open_tsa_url, ValidationContext(allow_fetching=True), output)
    assert output.getvalue() == b""
