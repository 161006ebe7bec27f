"""Changes after a signature, judged on what a viewer shows: each class of
attack appended to a signed document is reported as a modification that
poppler really renders, and the changes later signers legitimately make pass."""

import pytest
from cryptography.hazmat.primitives import serialization

from CorvaneSDK import cli
from CorvaneSDK.verification.later_changes import judge_later_revisions
from CorvaneSDK.verification.report import verify_pdf
from CorvaneSDK.verification.revisions import RevisionHistory
from support.attack_writers import (
    Update, add_signature_field, add_to_fields, appearance, attach, docmdp_reference, fieldmdp_reference,
    object_stream_of, rendered, rewrite_object_stream, sign, signature_value, stream, text_content)
from support.sample_pdfs import PAGE_CONTENT, document, qpdf, write_pdf
from support.sandbox_signing import sign_at_level

CATALOG, CONTENT, UNDEFINED, WITNESS, WITNESS_WIDGET, AMOUNT = "1 0 R", "4 0 R", "9 0 R", "20 0 R", "21 0 R", "22 0 R"


def base_document():
    """One page that also draws object 9, which is not defined, an empty signature field
    placed beforehand (Witness, with a separate widget) and a text field."""
    return write_pdf({
        1: b"<< /Type /Catalog /Pages 2 0 R /AcroForm << /Fields [20 0 R 22 0 R] >> >>",
        2: b"<< /Type /Pages /Kids [5 0 R] /Count 1 /MediaBox [0 0 612 792] "
           b"/Resources << /Font << /F1 3 0 R >> /XObject << /X9 9 0 R >> >> >>",
        3: b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        4: stream(PAGE_CONTENT + b" /X9 Do"),
        5: b"<< /Type /Page /Parent 2 0 R /Contents 4 0 R /Annots [21 0 R 22 0 R] >>",
        20: b"<< /FT /Sig /T (Witness) /Kids [21 0 R] >>",
        21: b"<< /Type /Annot /Subtype /Widget /Parent 20 0 R /Rect [300 100 500 160] /F 4 /P 5 0 R >>",
        22: b"<< /Type /Annot /Subtype /Widget /FT /Tx /T (Amount) /Rect [72 300 272 330] /F 4 /P 5 0 R >>",
    })


def indirect_arrays_document():
    """A form and a page whose /Fields and /Annots are arrays of their own."""
    return write_pdf({
        1: b"<< /Type /Catalog /Pages 2 0 R /AcroForm 6 0 R >>",
        2: b"<< /Type /Pages /Kids [5 0 R] /Count 1 /MediaBox [0 0 612 792] "
           b"/Resources << /Font << /F1 3 0 R >> >> >>",
        3: b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        4: stream(PAGE_CONTENT),
        5: b"<< /Type /Page /Parent 2 0 R /Contents 4 0 R /Annots 8 0 R >>",
        6: b"<< /Fields 7 0 R /DR << /Font << /Helv 3 0 R >> >> /DA (/Helv 0 Tf 0 g) >>",
        7: b"[]",
        8: b"[]",
    })


def certify(sandbox, data, level, locked=()):
    update = Update(data)
    reference = docmdp_reference(level) + (fieldmdp_reference(locked) if locked else [])
    field = update.object(add_signature_field(update, "Certification", reference=reference))
    catalog = update.object(update.catalog_ref)
    catalog["/Perms"] = {"/DocMDP": field["/V"]}
    update.put(update.catalog_ref, catalog)
    return sign(sandbox, update.bytes())


# -- attacks ---------------------------------------------------------------------------

def dss_as_free_pass(data, _sandbox):
    """The DSS names the page tree, the content is rewritten, the DSS is put back."""
    update = Update(data)
    catalog = update.object(CATALOG)
    update.put(CATALOG, dict(catalog, **{"/DSS": "2 0 R"}))
    update = Update(update.bytes())
    update.put(CONTENT, stream(text_content(b"Pay 1000 EUR to Mallory")))
    update = Update(update.bytes())
    update.put(CATALOG, catalog)
    return update.bytes()


def free_text_claiming_sig(data, _sandbox):
    update = Update(data)
    rect = [72, 400, 372, 460]
    attach(update, update.add({"/Type": "/Annot", "/Subtype": "/FreeText", "/FT": "/Sig", "/T": "u:Note",
                               "/Rect": rect, "/DA": "u:/Helv 18 Tf 0 g", "/Contents": "u:PAID",
                               "/AP": {"/N": appearance(update, b"PAID IN FULL", rect)}, "/P": update.page_ref}))
    return update.bytes()


def unsigned_overlay_widget(data, _sandbox):
    update = Update(data)
    add_signature_field(update, "Overlay", rect=(0, 0, 612, 792), words=b"CONTRACT VOID", signed=False)
    return update.bytes()


def empty_field_gets_appearance(data, _sandbox):
    update = Update(data)
    widget = update.object(WITNESS_WIDGET)
    widget["/AP"] = {"/N": appearance(update, b"Witnessed: Mallory", [300, 100, 500, 160])}
    update.put(WITNESS_WIDGET, widget)
    return update.bytes()


def undefined_object_defined(data, _sandbox):
    update = Update(data)
    form = b"/Type /XObject /Subtype /Form /BBox [0 0 612 792] /Resources << /Font << /F1 3 0 R >> >>"
    update.put(UNDEFINED, stream(text_content(b"Pay 1000 EUR to Mallory"), form))
    return update.bytes()


def damaged_object(data, _sandbox):
    """A stream whose length is wrong: the engine reads nothing there, poppler repairs it."""
    update = Update(data)
    body = text_content(b"Pay 1000 EUR to Mallory")
    update.put(CONTENT, b"<< /Length 999999 >>\nstream\n%s\nendstream" % body)
    return update.bytes()


def other_generation(data, _sandbox):
    update = Update(data)
    update.put(CONTENT, stream(text_content(b"Unrelated")), generation=1)
    return update.bytes()


def compressed_object_rewritten(data, _sandbox):
    """The page tree node, kept in an object stream, changed by writing that stream again."""
    update = Update(data)
    pages = int(update.object(update.catalog_ref)["/Pages"].split()[0])
    rewrite_object_stream(update, object_stream_of(data, pages), b"612 792", b"792 612")
    return update.bytes()


def approval_over_p1(data, sandbox):
    update = Update(data)
    add_signature_field(update, "Approval", rect=(72, 400, 372, 460), words=b"APPROVED 1000 EUR")
    return sign(sandbox, update.bytes())


def signature_with_action(data, sandbox):
    update = Update(data)
    ref = add_signature_field(update, "Approval", rect=(72, 400, 372, 460), words=b"APPROVED")
    widget = update.object(ref)
    widget["/AA"] = {"/PO": {"/S": "/JavaScript", "/JS": "u:this.getField('Amount').value = '1000';"}}
    update.put(ref, widget)
    return sign(sandbox, update.bytes())


def fill_amount(data, _sandbox):
    update = Update(data)
    field = update.object(AMOUNT)
    field["/V"] = "u:1000 EUR"
    field["/AP"] = {"/N": appearance(update, b"1000 EUR", [72, 300, 272, 330])}
    update.put(AMOUNT, field)
    return update.bytes()


# -- legitimate later signers -------------------------------------------------------------------

def note_added(data, _sandbox):
    update = Update(data)
    attach(update, update.add({"/Type": "/Annot", "/Subtype": "/FreeText", "/Rect": [72, 400, 372, 460],
                               "/DA": "u:/Helv 18 Tf 0 g", "/Contents": "u:Checked", "/P": update.page_ref}),
           to_fields=False)
    return update.bytes()


def field_placed_with_separate_widget(data, _sandbox):
    update = Update(data)
    field = update.add({"/FT": "/Sig", "/T": "u:Later"})
    widget = update.add({"/Type": "/Annot", "/Subtype": "/Widget", "/Parent": field, "/Rect": [0, 0, 0, 0],
                         "/P": update.page_ref})
    update.put(field, {"/FT": "/Sig", "/T": "u:Later", "/Kids": [widget]})
    attach(update, widget, to_fields=False)
    add_to_fields(update, field)
    return update.bytes()


def library_signer(data, sandbox):
    return sign_at_level(sandbox, data, "B-LTA", field_name="Signature2")


def later_signer_fills_placed_field(data, sandbox):
    update = Update(data)
    widget = update.object(WITNESS_WIDGET)
    widget["/AP"] = {"/N": appearance(update, b"Witnessed", [300, 100, 500, 160])}
    update.put(WITNESS_WIDGET, widget)
    field = update.object(WITNESS)
    field["/V"] = update.add(signature_value())
    update.put(WITNESS, field)
    return sign(sandbox, update.bytes())


def later_signer_adds_form_defaults_and_mod_date(data, sandbox, eol=b"\n"):
    update = Update(data)
    add_signature_field(update, "Signature2")
    catalog = update.object(CATALOG)
    form_ref = catalog["/AcroForm"]
    form = update.object(form_ref) if isinstance(form_ref, str) else catalog["/AcroForm"]
    font = update.add({"/Type": "/Font", "/Subtype": "/Type1", "/BaseFont": "/Helvetica"})
    form.update({"/DA": "u:/Helv 0 Tf 0 g", "/DR": {"/Font": {"/Helv": font}}})
    update.put(form_ref, form) if isinstance(form_ref, str) else update.put(CATALOG, catalog)
    update.trailer["/Info"] = update.add({"/ModDate": "u:D:20261208120000Z", "/Producer": "u:Other Signer"})
    update.eol = eol
    return sign(sandbox, update.bytes())


def signature_ending_with_space_and_line_end(data, sandbox):
    return later_signer_adds_form_defaults_and_mod_date(data, sandbox, eol=b" \r\n")


def _first_signed(report):
    return min(report["signatures"], key=lambda entry: entry["revision"])


def _trusted(sandbox):
    return [cert.public_bytes(serialization.Encoding.DER) for cert in sandbox.pki.ca_certificates()]


@pytest.fixture(scope="module")
def bases(_sandbox_session):
    signed = sign_at_level(_sandbox_session, base_document(), "B-T")
    return {"signed": signed,
            "signed, object streams": sign_at_level(_sandbox_session,
                                                    qpdf(document(), "--object-streams=generate"), "B-T"),
            "certified P1": certify(_sandbox_session, base_document(), 1),
            "signed, indirect arrays": sign_at_level(_sandbox_session, indirect_arrays_document(), "B-T"),
            "certified P2": certify(_sandbox_session, base_document(), 2),
            "certified P3": certify(_sandbox_session, base_document(), 3),
            "certified P2, Amount locked": certify(_sandbox_session, base_document(), 2, locked=["Amount"])}


ATTACKS = [
    ("signed", dss_as_free_pass, "page 1: content stream replaced"),
    ("signed", free_text_claiming_sig, "signature field Note has a part that is not a widget (a FreeText"),
    ("signed", unsigned_overlay_widget, "signature field Overlay added with a visible appearance but no valid"),
    ("signed", empty_field_gets_appearance, "signature field Witness: its /AP changed without being signed"),
    ("signed", undefined_object_defined, "referred to without defining it, was defined later"),
    ("signed", damaged_object, "page 1: object 4 0 (a stream) was removed or can no longer be read"),
    ("signed", other_generation, "page 1: object 4 0: a later revision defines object 4 with another generation"),
    ("signed, object streams", compressed_object_rewritten, "(a Pages dictionary) changed"),
    ("signed", signature_with_action, "signature field Approval added with actions"),
    ("certified P1", approval_over_p1, "signature (the certification forbids it)"),
    ("certified P2, Amount locked", fill_amount, "field Amount is locked by an earlier signature"),
    ("signed", fill_amount, "form field Amount filled (only a certification could permit it)"),
    ("certified P2", note_added, "annotation added on page 1 (FreeText) (the certification forbids it)"),
]


def _ids(cases):
    return ["%s: %s" % (base, change.__name__) for base, change, _text in cases]


@pytest.mark.parametrize("base, attack, reported", ATTACKS, ids=_ids(ATTACKS))
def test_attacks_are_modifications_that_change_the_rendered_page(sandbox, bases, tmp_path, base, attack, reported):
    signed = bases[base]
    attacked = attack(signed, sandbox)
    later = judge_later_revisions(RevisionHistory(attacked), 1)  # the first signature's revision
    assert not later.allowed
    assert any(reported in text for text in later.modifications), later.modifications

    report = verify_pdf(attacked, _trusted(sandbox))
    assert not report["valid"]
    assert not _first_signed(report)["later_revisions"]["allowed"]
    path = tmp_path / "attacked.pdf"
    path.write_bytes(attacked)
    assert cli.main(["verify", str(path), "--trust", str(sandbox.ca_bundle_path)]) == 1
    assert rendered(attacked) != rendered(signed)


LEGITIMATE = [
    ("signed, indirect arrays", library_signer, "signature"),
    ("signed", field_placed_with_separate_widget, "empty signature field"),
    ("signed", later_signer_fills_placed_field, "signature in the field Witness"),
    ("signed", later_signer_adds_form_defaults_and_mod_date, "the form's /DA added"),
    ("signed", signature_ending_with_space_and_line_end, "document information updated"),
    ("certified P2", fill_amount, "form field Amount filled"),
    ("certified P3", note_added, "annotation added on page 1 (FreeText)"),
]


@pytest.mark.parametrize("base, change, noted", LEGITIMATE, ids=_ids(LEGITIMATE))
def test_changes_of_later_signers_pass(sandbox, bases, base, change, noted):
    changed = change(bases[base], sandbox)
    report = verify_pdf(changed, _trusted(sandbox))
    for entry in report["signatures"]:
        assert entry["covers_revision"] and entry["later_revisions"]["allowed"], entry
        assert entry["digest_valid"] and entry["signature_valid"] and entry["trusted_root"], entry["problems"]
        assert not [problem for problem in entry["problems"] if "modified" in problem]
    assert noted in _first_signed(report)["later_revisions"]["added"]
