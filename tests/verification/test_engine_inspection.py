"""The engine's read-only inspection: where revisions end, what each one
changed, and single objects, on every kind of file qpdf writes."""

import gc
import time

import pytest

from CorvaneSDK.CorvaneSign.corvane_signature.exceptions import PdfReadError
from CorvaneSDK import _pdfengine
from support.attack_writers import Update
from support.sample_pdfs import PAGE_CONTENT, document, hybrid, qpdf, with_update

NEW_CONTENT = b"<< /Length 9 >>\nstream\nBT (x) ET\nendstream"

BASES = {
    "classic": lambda: document(pages=2),
    "object-streams": lambda: qpdf(document(pages=2), "--object-streams=generate"),
    "linearized": lambda: qpdf(document(pages=3), "--linearize"),
    "hybrid": lambda: hybrid(),
}


def next_number(data):
    return _pdfengine.trailer_json(_pdfengine.open(data))["/Size"]


@pytest.mark.parametrize("base", sorted(BASES))
@pytest.mark.parametrize("xref_stream", [False, True], ids=["table-update", "stream-update"])
def test_revisions_end_where_each_update_ends(base, xref_stream):
    original = BASES[base]()
    # qpdf renumbers what it rewrites: the updates add objects rather than replace known ones.
    once = with_update(original, {next_number(original): b"[1 2 3]"}, xref_stream=xref_stream)
    twice = with_update(once, {next_number(once): b"(more)"})
    ends = [revision.end for revision in _pdfengine.revisions(_pdfengine.open(twice))]
    assert ends == [len(original), len(once), len(twice)]


def test_an_end_marker_inside_a_stream_is_no_revision():
    tricky = b"BT (startxref 12 %%EOF) Tj ET\nstartxref\n12\n%%EOF\n"
    data = document(extra_objects={9: (b"", tricky)})
    assert _pdfengine.revisions(_pdfengine.open(data)) == [
        (int(data.rsplit(b"startxref", 1)[1].split()[0]), len(data))]


def test_repeated_end_markers_are_parsed_once_each():
    big = document(extra_objects={9: (b"", b"0" * (2 << 20))})
    # Comment markers after the first revision, each naming an offset where no section starts.
    markers = b"%%startxref %d\n%%%%EOF\n" % len(big) * 100
    data = with_update(big + markers, {10: b"(x)"})
    data = data.replace(b"/Prev %d" % len(big), b"/Prev %d" % int(big.rsplit(b"startxref", 1)[1].split()[0]))
    started = time.monotonic()
    ends = [end for _xref, end in _pdfengine.revisions(_pdfengine.open(data))]
    assert time.monotonic() - started < 10  # a guard against a parse per marker, not a benchmark
    assert ends == [len(big), len(data)]


def test_a_file_without_final_end_marker_still_has_its_last_revision():
    data = with_update(document(), {4: NEW_CONTENT})
    cut = data[:data.rindex(b"%%EOF")]
    revisions = _pdfengine.revisions(_pdfengine.open(cut))
    assert [end for _xref, end in revisions] == [len(document()), len(cut)]


def _differences(before, after):
    return {(item[0], item[1]): item[2:] for item in
            _pdfengine.graph_differences(_pdfengine.open(before), _pdfengine.open(after))}


def test_graph_differences_list_what_resolves_or_is_reached_differently():
    original = document(extra_objects={9: b"[1 2 3]"})
    same_page = b"<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>"
    updated = with_update(original, {4: NEW_CONTENT, 5: same_page, 9: b"(unused)", 10: b"(also unused)",
                                     3: b"<< /Type /Font /Subtype /Type1 /BaseFont /Courier /Extra 11 0 R >>"})
    found = _differences(original, updated)
    # The page was written again unchanged; 9 and 10 are reached by nothing; 11 is reached
    # only by the later font, and resolves to nothing.
    assert set(found) == {(3, 0), (4, 0), (11, 0)}
    assert found[(11, 0)][:2] == (None, None) and not found[(11, 0)][5][0] and found[(11, 0)][6][0]
    before, after, same, data_changed, conflict, earlier, later = found[(4, 0)]
    assert data_changed and not same and not conflict
    assert before["dict"]["/Length"] == len(PAGE_CONTENT)
    assert earlier[:2] == later[:2] == (True, False) and (5, 0, "/Contents") in later[2]
    assert found[(3, 0)][2] is False and (2, 0, "/Resources/Font/F1") in found[(3, 0)][6][2]


def test_a_later_generation_of_a_signed_object_is_a_conflict():
    original = document()
    update = Update(original)
    update.put("4 0 R", NEW_CONTENT, generation=1)
    before, after, same, _data, conflict, _earlier, later = _differences(original, update.bytes())[(4, 0)]
    assert conflict and after is None and before is not None and not same and later[0]


def test_objects_trailer_streams_and_signature_values():
    data = with_update(document(), {9: b"<< /Type /Sig /M (D:20240102030405Z) /Contents <0102> >>",
                                    1: b"<< /Type /Catalog /Pages 2 0 R /AcroForm << /Fields [10 0 R] >> >>",
                                    10: b"<< /FT /Sig /T (Approval) /V 9 0 R >>"})
    engine = _pdfengine.open(data)
    assert _pdfengine.trailer_json(engine)["/Root"] == "1 0 R"
    assert _pdfengine.stream_data(engine, 4, 0) == PAGE_CONTENT
    assert _pdfengine.object_json(engine, 40, 0) is None
    (field, value), = _pdfengine.signature_values(engine)
    assert field == "Approval" and value["/M"] == "u:D:20240102030405Z"
    with pytest.raises(PdfReadError, match="not a stream"):
        _pdfengine.stream_data(engine, 1, 0)
    with pytest.raises(TypeError):
        _pdfengine.revisions(data)
    with pytest.raises(ValueError):
        _pdfengine.object_json(engine, 0, 0)


@pytest.mark.parametrize("held", ["bytes", "file"])
def test_an_earlier_revision_reads_the_same_pieces_and_outlives_the_whole(held, tmp_path):
    original = document()
    data = with_update(original, {4: NEW_CONTENT})
    path = tmp_path / "two.pdf"
    path.write_bytes(data)
    with open(path, "rb") as stream:
        whole = _pdfengine.open(data if held == "bytes" else [stream.fileno()])
    earlier = _pdfengine.leading_document(whole, len(original))
    del whole, data
    gc.collect()
    # The view ends where it was cut: it reads the original page content and one revision.
    assert earlier.length() == len(original)
    assert _pdfengine.stream_data(earlier, 4, 0) == PAGE_CONTENT
    assert [revision.end for revision in _pdfengine.revisions(earlier)] == [len(original)]
    with pytest.raises(ValueError):
        _pdfengine.leading_document(earlier, len(original) + 1)
