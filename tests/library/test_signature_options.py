"""Visible signatures and the signature dictionary's optional entries, as
poppler renders and reads them; and what the options refuse."""

import subprocess
import tempfile

import pytest

from CorvaneSDK.CorvaneSign.corvane_signature.config.errors import ConfigurationError
from CorvaneSDK.CorvaneSign.corvane_signature.exceptions import SigningError
from CorvaneSDK.CorvaneSign.corvane_signature.sign import signers
from CorvaneSDK.CorvaneSign.corvane_signature.sign.appearance import SignatureAppearance
from support import sample_pdfs
from support.option_signing import prepare, sign
from support.pdf_oracles import pdfsig, qpdf_check, qpdf_objects
from support.rendering import render_page

NAME = "Jürgen Größ-Müller"


def flattened_text(data, page):
    """The page's text once qpdf has merged the annotation appearances into it, as poppler extracts it."""
    with tempfile.TemporaryDirectory() as folder:
        source, flat = folder + "/in.pdf", folder + "/flat.pdf"
        with open(source, "wb") as stream:
            stream.write(data)
        subprocess.run(["qpdf", "--flatten-annotations=all", source, flat], check=True)
        return subprocess.run(["pdftotext", "-f", str(page), "-l", str(page), flat, "-"],
                              capture_output=True, check=True).stdout.decode("utf-8")


# the document, the page, the box as shown
PAGES = {
    "upright": (lambda: sample_pdfs.document(), 1, (300, 100, 520, 160)),
    "second page": (lambda: sample_pdfs.document(pages=2), 2, (40, 500, 260, 560)),
    "rotated 90": (lambda: sample_pdfs.document(page_extra=b"/Rotate 90"), 1, (400, 300, 700, 380)),
    "rotated 180, crop box": (lambda: sample_pdfs.document(page_extra=b"/Rotate 180 /CropBox [100 200 500 600]"),
                              1, (20, 250, 300, 330)),
    "rotated 270, crop box": (lambda: sample_pdfs.document(page_extra=b"/Rotate 270 /CropBox [50 100 550 700]"),
                              1, (100, 50, 400, 130)),
    "crop box": (lambda: sample_pdfs.document(page_extra=b"/CropBox [100 200 500 600]"), 1, (20, 20, 300, 90)),
    "encrypted": (lambda: sample_pdfs.encrypted(sample_pdfs.document()), 1, (300, 100, 520, 160)),
}


@pytest.mark.parametrize("case", list(PAGES))
def test_visible_signature_is_drawn_upright_in_its_box(pki, case):
    make, page, box = PAGES[case]
    data = make()
    lines = [NAME, "(ok)\\"]
    signed = sign(pki, data, appearance=SignatureAppearance(page, box, lines),
                  location="Zürich", contact_info="jurgen@example.test")

    bitmap = render_page(signed, page)
    x1, y1, x2, y2 = box
    xm, ym = (x1 + x2) // 2, (y1 + y2) // 2
    # The border on all four sides of the box, where the reader sees it.
    assert bitmap.dark(x1, ym) and bitmap.dark(x2 - 1, ym), "left or right border missing"
    assert bitmap.dark(xm, y1) and bitmap.dark(xm, y2 - 1), "bottom or top border missing"
    # Nothing outside: a ring around the box stays white.
    ring = [(x1 - 4, y1 - 4, x2 + 4, y1 - 1), (x1 - 4, y2 + 1, x2 + 4, y2 + 4),
            (x1 - 4, y1, x1 - 1, y2), (x2 + 1, y1, x2 + 4, y2)]
    assert sum(bitmap.dark_count(*area) for area in ring) == 0, "ink outside the box"
    # Upright text: the long first line above, the short second at the left below.
    inner = (x1 + 3, y1 + 3, x2 - 3, y2 - 3)
    top = bitmap.dark_count(inner[0], ym, inner[2], inner[3])
    bottom_left = bitmap.dark_count(inner[0], inner[1], xm, ym)
    bottom_right = bitmap.dark_count(xm, inner[1], inner[2], ym)
    assert top > 2 * (bottom_left + bottom_right) and bottom_left > 0 and bottom_right == 0

    # Independent readers: the text is the lines in the font's encoding, the file and signature hold.
    assert all(line in flattened_text(signed, page) for line in lines)
    assert qpdf_check(signed)[0]
    assert [entry["validation"] for entry in pdfsig(signed)] == ["Signature is Valid."]
    values = [value for value in qpdf_objects(signed).values()
              if isinstance(value, dict) and value.get("value", {}).get("/Type") == "/Sig"]
    assert values[0]["value"]["/Location"] == "u:Zürich"
    assert values[0]["value"]["/ContactInfo"] == "u:jurgen@example.test"


def test_every_character_the_font_has_passes_both_checks(pki):
    shown = [code for code in range(0x20, 0x100) if code not in (0x7F, 0x81, 0x8D, 0x8F, 0x90, 0x9D)]
    text = bytes(shown).decode("cp1252")
    lines = [text[at:at + 32] for at in range(0, len(text), 32)]
    prepare(pki, sample_pdfs.document(), appearance=SignatureAppearance(1, (0, 0, 612, 792), lines))


@pytest.mark.parametrize("make, words", [
    (lambda: SignatureAppearance(1, (10, 10, 200, 60), ["Łukasz"]), r"U\+0141"),
    (lambda: SignatureAppearance(1, (10, 10, 200, 60), ["tab\there"]), r"U\+0009"),
    (lambda: SignatureAppearance(0, (10, 10, 200, 60), ["x"]), "page number"),
    (lambda: SignatureAppearance(1, (10, 10, 10, 60), ["x"]), "no area"),
    (lambda: SignatureAppearance(1, (10, 10, float("nan"), 60), ["x"]), "finite"),
    (lambda: signers.PdfSignatureMetadata(docmdp_permissions=4), "docmdp_permissions"),
])
def test_settings_refused_when_made(make, words):
    with pytest.raises(ConfigurationError, match=words):
        make()


@pytest.mark.parametrize("data, options, words", [
    (sample_pdfs.document(), {"appearance": SignatureAppearance(2, (10, 10, 200, 60), ["x"])}, "no page 2"),
    (sample_pdfs.document(), {"appearance": SignatureAppearance(1, (500, 10, 700, 60), ["x"])},
     "does not lie within page 1"),
    (sample_pdfs.document(page_extra=b"/Rotate 90"),
     {"appearance": SignatureAppearance(1, (10, 650, 200, 700), ["x"])}, "does not lie within page 1"),
    (sample_pdfs.document(), {"appearance": SignatureAppearance(1, (10, 10, 25, 20), ["a line far too long"])},
     "too small"),
    (sample_pdfs.field_document(b"/FT /Sig /T (Witness) /Type /Annot /Subtype /Widget /Rect [0 0 0 0]"),
     {"field_name": "Witness", "appearance": SignatureAppearance(1, (10, 10, 200, 60), ["x"])},
     "already has a widget"),
])
def test_layout_refuses_appearances_the_page_cannot_take(pki, data, options, words):
    with pytest.raises(SigningError, match=words):
        prepare(pki, data, **options)
