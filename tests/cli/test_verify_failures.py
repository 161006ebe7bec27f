"""corvane verify on documents that must not pass: tampered bytes, a
borrowed container, changes after signing (exit 1), and files with nothing
to verify (exit 2)."""

import jsonschema
import pytest

from CorvaneSDK import _pdfengine
from support.pdf_edits import Editor
from support.pdf_oracles import pdfsig
from support.sample_pdfs import PAGE_CONTENT, document


def _contents_hex(data, field="Signature1"):
    for name, _kind, _subfilter, byte_range, _contents in _pdfengine.open(data).signatures():
        if name == field:
            return byte_range[1] + 1, byte_range[2] - 1
    raise AssertionError("no field %s" % field)


def flip_a_signed_byte(data, _other):
    at = data.index(PAGE_CONTENT) + PAGE_CONTENT.index(b"Hello")
    return data[:at] + b"J" + data[at + 1:]


def borrow_a_container(data, other):
    """The /Contents of this document's signature replaced by another document's."""
    start, end = _contents_hex(data)
    other_start, other_end = _contents_hex(other)
    borrowed = other[other_start:other_end].rstrip(b"0")
    borrowed += b"0" * (end - start - len(borrowed))
    return data[:start] + borrowed + data[end:]


def replace_page_content(data, _other):
    editor = Editor(data)
    page = editor.object(editor.first_page_ref)
    body = b"BT /F1 12 Tf 72 720 Td (Pay 1000) Tj ET"
    editor.put(page["/Contents"], b"<< /Length %d >>\nstream\n%s\nendstream" % (len(body), body))
    return editor.update()


@pytest.fixture(scope="module")
def another_signed(signed_at):
    return signed_at["B-T"].read_bytes()


@pytest.mark.parametrize("tamper, broken", [
    (flip_a_signed_byte, "digest_valid"),
    (borrow_a_container, "digest_valid"),
    (replace_page_content, "later_revisions"),
], ids=["byte-flipped", "container-borrowed", "page-content-changed"])
@pytest.mark.parametrize("level", ["B-T", "B-LTA"])
def test_tampering_fails_with_exit_code_1(corvane, sandbox, signed_at, tmp_path, schema, another_signed,
                                          tamper, broken, level):
    original = signed_at[level].read_bytes()
    other = another_signed if level == "B-LTA" else signed_at["B-LTA"].read_bytes()
    path = tmp_path / "tampered.pdf"
    path.write_bytes(tamper(original, other))
    run = corvane("verify", path, "--trust", sandbox.ca_bundle_path, "--json")
    assert run.code == 1
    jsonschema.validate(run.report, schema)
    signature = run.entry("Signature1")
    assert not run.report["valid"] and not signature["valid"] and signature["pades_level"] is None
    assert signature["problems"] and signature["indication"] == "TOTAL-FAILED"
    assert signature["sub_indication"] == ("HASH_FAILURE" if broken == "digest_valid" else "NOT_ALLOWED_CHANGE")
    if broken == "digest_valid":
        assert not signature["digest_valid"]
        assert pdfsig(path.read_bytes())[0]["validation"] != "Signature is Valid."
    else:
        assert signature["digest_valid"] and signature["signature_valid"]
        assert not signature["later_revisions"]["allowed"]
        assert signature["later_revisions"]["modifications"]
    text_run = corvane("verify", path, "--trust", sandbox.ca_bundle_path)
    assert text_run.code == 1 and text_run.out.rstrip().splitlines()[-1].startswith("TOTAL-FAILED")


def _add_to_page(editor, annotation):
    page_ref = editor.first_page_ref
    page = editor.object(page_ref)
    annotation["/P"] = page_ref
    ref = editor.add(annotation)
    page["/Annots"] = list(page.get("/Annots", [])) + [ref]
    editor.put(page_ref, page)
    return ref


def empty_signature_field(editor):
    ref = _add_to_page(editor, {"/Type": "/Annot", "/Subtype": "/Widget", "/FT": "/Sig",
                                "/T": "u:Witness", "/Rect": [0, 0, 0, 0], "/F": 4})
    catalog = editor.object(editor.catalog_ref)
    form = editor.object(catalog["/AcroForm"])
    form["/Fields"] = form["/Fields"] + [ref]
    editor.put(catalog["/AcroForm"], form)


def visible_note(editor):
    _add_to_page(editor, {"/Type": "/Annot", "/Subtype": "/FreeText", "/Rect": [72, 600, 300, 640],
                          "/Contents": "u:Approved for 1000", "/DA": "u:/Helv 12 Tf 0 g"})


def second_content_stream(editor):
    page_ref = editor.first_page_ref
    page = editor.object(page_ref)
    body = b"BT /F1 30 Tf 72 500 Td (VOID) Tj ET"
    added = editor.add(b"<< /Length %d >>\nstream\n%s\nendstream" % (len(body), body))
    page["/Contents"] = [page["/Contents"], added]
    editor.put(page_ref, page)


def catalog_action(editor):
    catalog = editor.object(editor.catalog_ref)
    catalog["/OpenAction"] = {"/S": "/JavaScript", "/JS": "u:app.alert(1)"}
    editor.put(editor.catalog_ref, catalog)


@pytest.mark.parametrize("edit, allowed", [
    (empty_signature_field, True),
    (visible_note, False),
    (second_content_stream, False),
    (catalog_action, False),
    (None, False),
], ids=["empty-signature-field", "visible-note", "second-content-stream", "catalog-action", "bytes-appended"])
def test_only_signature_related_updates_may_follow(corvane, sandbox, signed_at, tmp_path, edit, allowed):
    original = signed_at["B-T"].read_bytes()
    if edit is None:
        changed = original + b"%unsigned trailer garbage\n"
    else:
        editor = Editor(original)
        edit(editor)
        changed = editor.update()
    path = tmp_path / "updated.pdf"
    path.write_bytes(changed)
    run = corvane("verify", path, "--trust", sandbox.ca_bundle_path, "--json")
    later = run.entry("Signature1")["later_revisions"]
    assert later["allowed"] is allowed
    # The file carries no revocation data: the best an allowed update can give is INDETERMINATE.
    assert run.code == (3 if allowed else 1)
    if allowed:
        assert later["added"] == ["empty signature field"]


@pytest.mark.parametrize("content, message", [
    (document(), "no signatures"),
    (b"%PDF-1.7\nthis is not really a PDF\n", "not a PDF document that can be read"),
    (None, "cannot read"),
], ids=["unsigned", "damaged", "missing"])
def test_nothing_to_verify_exits_2_with_a_clear_message(corvane, tmp_path, content, message):
    path = tmp_path / "input.pdf"
    if content is not None:
        path.write_bytes(content)
    run = corvane("verify", path)
    assert run.code == 2 and run.out == ""
    assert message in run.err and str(path) in run.err


def test_unusable_trust_file_exits_2(corvane, signed_at, tmp_path):
    bogus = tmp_path / "root.pem"
    bogus.write_text("not a certificate")
    run = corvane("verify", signed_at["B-B"], "--trust", bogus)
    assert run.code == 2 and "holds no certificate" in run.err
