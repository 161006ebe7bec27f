"""The engine's read-only inspection: where revisions end, what each one
changed, and single objects, on every kind of file qpdf writes."""

import json

import pytest

from CorvaneSDK.CorvaneSign.corvane_signature.exceptions import PdfReadError
from CorvaneSDK.CorvaneSign.corvane_signature.pdf_utils import _pdfengine
from support.sample_pdfs import PAGE_CONTENT, document, hybrid, qpdf, with_update

NEW_CONTENT = b"<< /Length 9 >>\nstream\nBT (x) ET\nendstream"

BASES = {
    "classic": lambda: document(pages=2),
    "object-streams": lambda: qpdf(document(pages=2), "--object-streams=generate"),
    "linearized": lambda: qpdf(document(pages=3), "--linearize"),
    "hybrid": lambda: hybrid(),
}


def next_number(data):
    return json.loads(_pdfengine.trailer_json(_pdfengine.open(data)))["/Size"]


@pytest.mark.parametrize("base", sorted(BASES))
@pytest.mark.parametrize("xref_stream", [False, True], ids=["table-update", "stream-update"])
def test_revisions_end_where_each_update_ends(base, xref_stream):
    original = BASES[base]()
    # qpdf renumbers what it rewrites: the updates add objects rather than replace known ones.
    once = with_update(original, {next_number(original): b"[1 2 3]"}, xref_stream=xref_stream)
    twice = with_update(once, {next_number(once): b"(more)"})
    ends = [end for _xref, end in _pdfengine.revisions(_pdfengine.open(twice))]
    assert ends == [len(original), len(once), len(twice)]


def test_an_end_marker_inside_a_stream_is_no_revision():
    tricky = b"BT (startxref 12 %%EOF) Tj ET\nstartxref\n12\n%%EOF\n"
    data = document(extra_objects={9: (b"", tricky)})
    assert _pdfengine.revisions(_pdfengine.open(data)) == [
        (int(data.rsplit(b"startxref", 1)[1].split()[0]), len(data))]


def test_a_file_without_final_end_marker_still_has_its_last_revision():
    data = with_update(document(), {4: NEW_CONTENT})
    cut = data[:data.rindex(b"%%EOF")]
    revisions = _pdfengine.revisions(_pdfengine.open(cut))
    assert [end for _xref, end in revisions] == [len(document()), len(cut)]


def _changes(before, after):
    return {(number, generation): (before_json, after_json, data_changed)
            for number, generation, before_json, after_json, data_changed
            in _pdfengine.changed_objects(_pdfengine.open(before), _pdfengine.open(after))}


def test_changed_objects_lists_new_and_changed_ones_only():
    original = document()
    page = json.loads(_pdfengine.object_json(_pdfengine.open(original), 5, 0))
    same_page = b"<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>"
    updated = with_update(original, {4: NEW_CONTENT, 5: same_page, 9: b"[1 2 3]"})
    changes = _changes(original, updated)
    assert set(changes) == {(4, 0), (9, 0)}  # the page was written again unchanged
    before, after, data_changed = changes[(4, 0)]
    assert data_changed and json.loads(before)["dict"]["/Length"] == len(PAGE_CONTENT)
    assert changes[(9, 0)][0] is None and json.loads(changes[(9, 0)][1]) == [1, 2, 3]
    assert page == {"/Type": "/Page", "/Parent": "2 0 R", "/Contents": "4 0 R"}


def test_objects_trailer_streams_and_signature_values():
    data = with_update(document(), {9: b"<< /Type /Sig /M (D:20240102030405Z) /Contents <0102> >>",
                                    1: b"<< /Type /Catalog /Pages 2 0 R /AcroForm << /Fields [10 0 R] >> >>",
                                    10: b"<< /FT /Sig /T (Approval) /V 9 0 R >>"})
    engine = _pdfengine.open(data)
    assert json.loads(_pdfengine.trailer_json(engine))["/Root"] == "1 0 R"
    assert _pdfengine.stream_data(engine, 4, 0) == PAGE_CONTENT
    assert _pdfengine.object_json(engine, 40, 0) is None
    (field, value), = _pdfengine.signature_values(engine)
    assert field == "Approval" and json.loads(value)["/M"] == "u:D:20240102030405Z"
    with pytest.raises(PdfReadError, match="not a stream"):
        _pdfengine.stream_data(engine, 1, 0)
    with pytest.raises(TypeError):
        _pdfengine.revisions(data)
    with pytest.raises(ValueError):
        _pdfengine.object_json(engine, 0, 0)
