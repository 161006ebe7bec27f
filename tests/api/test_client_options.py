"""Certification, a visible appearance, location and contact made through
the Client, as verification, the rendered page and the signature dictionary
show them."""


import pytest

from CorvaneSDK import Appearance, PdfError
from CorvaneSDK import _pdfengine
from CorvaneSDK.verification.pdf_values import text
from support.rendering import render_page

BOX = (300, 100, 520, 150)


def signature_dictionary(data, field):
    values = dict(_pdfengine.signature_values(_pdfengine.open(data)))
    return values[field]


@pytest.mark.parametrize("certify", [1, 2, 3])
def test_certified_visible_signature_and_a_later_signer(sandbox, client, pdf, report_of, certify):
    # The user with a Latin-1 name: the default lines show it.
    signer = sandbox.users[2]
    certified = client.sign(pdf, certify=certify, appearance=Appearance(1, BOX), location="Lab 4",
                            contact="ops@example.test", user_id=signer["user_id"], level="B-LT")

    assert certified.signer == signer["user_full_name"]
    dictionary = signature_dictionary(certified.output, certified.field)
    assert (text(dictionary["/Location"]), text(dictionary["/ContactInfo"])) == ("Lab 4", "ops@example.test")
    page = render_page(certified.output, 1)
    assert page.dark_count(*BOX) > 100
    assert page.dark_count(BOX[0], BOX[3] + 20, BOX[2], BOX[3] + 80) == 0

    if certify == 1:
        with pytest.raises(PdfError, match="DocMDP permission 1"):
            client.sign(certified.output, level="B-B")
        return
    later = client.sign(certified.output, level="B-LT")
    report = report_of(later.output)
    entry = next(entry for entry in report["signatures"] if entry["field"] == certified.field)
    assert entry["certification"] == certify and entry["later_revisions"]["allowed"], entry
    assert report["indication"] == "TOTAL-PASSED", report


def test_appearance_and_results_are_immutable_values():
    from CorvaneSDK import SignResult
    appearance = Appearance(1, [300, 100, 520, 150], ["Approved"])
    assert appearance == Appearance(1, BOX, ("Approved",)) and appearance != Appearance(2, BOX, ("Approved",))
    assert len({appearance, Appearance(1, BOX, ["Approved"])}) == 1
    assert (appearance.box, appearance.lines) == (BOX, ("Approved",))  # copies: a caller's list cannot change it
    result = SignResult(b"%PDF", "Signature1", "Ada", None, None, "B-B")
    assert result == SignResult(b"%PDF", "Signature1", "Ada", None, None, "B-B")
    assert "<4 bytes>" in repr(result)
    for record, field in ((appearance, "page"), (result, "level")):
        with pytest.raises(AttributeError):
            setattr(record, field, None)
