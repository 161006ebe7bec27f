"""Certification signatures made by the library: each DocMDP level with a
later change that it permits or forbids, as verification judges it, while
qpdf and pdfsig still find the file and every signature sound."""

import io

import pytest

from CorvaneSDK.CorvaneSign.corvane_signature.exceptions import SigningError
from CorvaneSDK.CorvaneSign.corvane_signature.pdf_utils.incremental_writer import IncrementalPdfFileWriter
from CorvaneSDK.CorvaneSign.corvane_signature.sign import signers
from CorvaneSDK.CorvaneSign.corvane_signature.sign.fields import MDPPerm
from CorvaneSDK.CorvaneSign.corvane_signature.sign.appearance import SignatureAppearance
from CorvaneSDK.cli.report_text import render_report
from CorvaneSDK.verification.report import verify_pdf
from support import sample_pdfs
from support.attack_writers import Update, attach
from support.library_pki import FakeTimestamper, LibraryPki
from support.option_signing import prepare, sign
from support.pdf_oracles import pdfsig, qpdf_check


@pytest.fixture(scope="module")
def pki(tmp_path_factory):
    return LibraryPki(str(tmp_path_factory.mktemp("pki")))


def second_signature(pki, data):
    return sign(pki, data, field_name="Approval",
                appearance=SignatureAppearance(1, (300, 100, 520, 150), ["Approved", "Zoë Ørsted"]))


def annotation(_pki, data):
    update = Update(data)
    attach(update, update.add({"/Type": "/Annot", "/Subtype": "/Text", "/Rect": [72, 400, 92, 420],
                               "/Contents": "u:Checked", "/P": update.page_ref}), to_fields=False)
    return update.bytes()


def document_timestamp(pki, data):
    writer = IncrementalPdfFileWriter(io.BytesIO(data))
    return signers.PdfTimeStamper(FakeTimestamper(pki)).timestamp_pdf(writer).getvalue()


@pytest.fixture(scope="module")
def certified(pki):
    return {level: sign(pki, sample_pdfs.document(), field_name="Certification", reason="Certified",
                        docmdp_permissions=MDPPerm(level)) for level in (1, 2, 3)}


@pytest.mark.parametrize("level, change, allowed", [
    (1, document_timestamp, True),
    (1, annotation, False),
    (2, second_signature, True),
    (2, annotation, False),
    (3, annotation, True),
    (3, second_signature, True),
])
def test_later_change_judged_by_the_certification(pki, certified, level, change, allowed):
    changed = change(pki, certified[level])
    report = verify_pdf(changed, [pki.root.asn1])
    entry = next(entry for entry in report["signatures"] if entry["field"] == "Certification")
    assert entry["certification"] == level
    assert entry["later_revisions"]["allowed"] is allowed, entry["later_revisions"]
    if not allowed:
        assert any("the certification forbids it" in text for text in entry["later_revisions"]["modifications"])
    assert "DocMDP P %d" % level in render_report(report)
    assert [other["certification"] for other in report["signatures"] if other is not entry] in ([], [None])
    assert qpdf_check(changed)[0]
    # pdfsig checks signatures only, not document timestamps.
    signatures = [found for found in pdfsig(changed) if found["type"] == "ETSI.CAdES.detached"]
    assert signatures and all(found["validation"] == "Signature is Valid." for found in signatures)


@pytest.mark.parametrize("document, options, words", [
    (lambda pki, certified: certified[1], {}, "DocMDP permission 1"),
    (lambda pki, certified: certified[2], {"docmdp_permissions": 2}, "already certified"),
    (lambda pki, certified: sign(pki, sample_pdfs.document()), {"docmdp_permissions": 3}, "only the first signature"),
])
def test_certification_only_for_the_first_signature(pki, certified, document, options, words):
    with pytest.raises(SigningError, match=words):
        prepare(pki, document(pki, certified), field_name="Later", **options)
