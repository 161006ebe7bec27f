"""The PDF engine through its binding: incremental updates of every kind of
input, judged by qpdf, and the refusals."""

import re
import subprocess
import sys

import pytest

from CorvaneSDK.CorvaneSign.corvane_signature import exceptions
from CorvaneSDK import _pdfengine
from support import sample_pdfs
from support.pdf_oracles import qpdf_check, qpdf_encrypt, qpdf_objects

PADES = "/ETSI.CAdES.detached"

INDIRECT_ARRAYS = sample_pdfs.document(
    catalog_extra=b"/AcroForm << /Fields 21 0 R /DA (/Helv 0 Tf 0 g) >>",
    page_extra=b"/Annots 20 0 R",
    extra_objects={20: b"[]", 21: b"[]"})
UNSIGNED_FIELD = sample_pdfs.document(
    catalog_extra=b"/AcroForm 20 0 R", page_extra=b"/Annots [21 0 R]",
    extra_objects={20: b"<< /Fields [21 0 R] >>",
                   21: b"<< /FT /Sig /T (Approval) /Type /Annot /Subtype /Widget /Rect [10 10 90 40] "
                       b"/F 4 /P 5 0 R >>"})
TEXT_FIELD = sample_pdfs.document(
    catalog_extra=b"/AcroForm << /Fields [20 0 R] >>",
    extra_objects={20: b"<< /FT /Tx /T (Approval) /V (text) >>"})
CERTIFIED_NO_CHANGES = sample_pdfs.document(
    catalog_extra=b"/Perms << /DocMDP 20 0 R >>",
    extra_objects={20: b"<< /Type /Sig /Reference [<< /TransformMethod /DocMDP "
                       b"/TransformParams << /P 1 /V /1.2 >> >>] >>"})

OBJECT_STREAMS = sample_pdfs.qpdf(sample_pdfs.document(pages=2), "--object-streams=generate")

INPUTS = {
    "classic": sample_pdfs.qpdf(sample_pdfs.document(), "--object-streams=disable"),
    "object-streams": sample_pdfs.qpdf(sample_pdfs.document(pages=4), "--object-streams=generate"),
    "linearized": sample_pdfs.qpdf(sample_pdfs.document(pages=3), "--linearize"),
    "hybrid": sample_pdfs.hybrid(pages=2),
    "classic-then-update": sample_pdfs.with_update(
        sample_pdfs.document(), {3: b"<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman >>"}),
    "streams-then-update": sample_pdfs.with_update(
        OBJECT_STREAMS, {sample_pdfs.trailer_size(OBJECT_STREAMS): b"<< /Producer (an earlier update) >>"},
        xref_stream=True),
    "indirect-arrays": INDIRECT_ARRAYS,
    "unsigned-field": UNSIGNED_FIELD,
}


def last_startxref(data):
    return int(data.rsplit(b"startxref", 1)[1].split()[0])


def object_numbers(update):
    return [int(number) for number in re.findall(rb"(?m)^(\d+) 0 obj", update)]


def prepare(data, field="Signature1", reserved=512, **options):
    return _pdfengine.open(data).prepare_signature(field, PADES, reserved, **options)


@pytest.mark.parametrize("kind", sorted(INPUTS))
def test_signature_update_extends_every_kind_of_input(kind):
    data = INPUTS[kind]
    update, byte_range = prepare(data)
    output = data + update

    clean, report = qpdf_check(output)
    assert clean, report
    # The update chains to the input's last xref section, in the same kind of section.
    last_is_stream = not data[last_startxref(data):].lstrip().startswith(b"xref")
    assert (b"/Type /XRef" in update) == last_is_stream
    assert b"/Prev %d" % last_startxref(data) in update
    assert b"/XRefStm" not in update
    # The byte ranges leave out exactly the zero-filled /Contents string.
    assert byte_range[0] == 0 and byte_range[2] + byte_range[3] == len(output)
    assert output[byte_range[1]:byte_range[2]] == b"<" + b"0" * 1024 + b">"
    # Every object of the input written again really changed.
    before, after = qpdf_objects(data), qpdf_objects(output)
    for number in object_numbers(update):
        key = "obj:%d 0 R" % number
        if key in before:
            assert before[key] != after[key], "%s re-emitted unchanged" % key
    # The new field is a signature field with an invisible, printing widget on page one.
    signature = _pdfengine.open(output).signatures()
    assert [(s[0], s[1], s[2], s[3]) for s in signature] == [("Signature1", "/Sig", PADES, byte_range)]


def test_classic_xref_subsections_are_contiguous_and_point_at_the_objects():
    data = INPUTS["classic-then-update"]
    update, _ = prepare(data)
    section = update[update.rindex(b"\nxref\n") + 6:update.rindex(b"trailer")]
    lines = section.split(b"\n")
    written = {}
    index, previous_end = 0, None
    while index < len(lines) and lines[index].strip():
        first, count = map(int, lines[index].split())
        assert previous_end is None or first > previous_end, "subsections must be separate runs"
        for number in range(first, first + count):
            index += 1
            written[number] = int(lines[index][:10])
        previous_end = first + count
        index += 1
    output = data + update
    assert sorted(written) == sorted(object_numbers(update))
    for number, offset in written.items():
        assert output[offset:].startswith(b"%d 0 obj" % number)
    size = int(re.search(rb"/Size (\d+)", update[update.rindex(b"trailer"):]).group(1))
    assert size == max(max(written) + 1, 7)


@pytest.mark.parametrize("size, first_new", [(None, 6), (40, 40), (100000, 6 + 4096)])
def test_new_objects_are_numbered_from_the_trailer_size_up_but_not_far_beyond_the_objects(size, first_new):
    data = sample_pdfs.document()  # objects 1 to 5, /Size 6
    if size is not None:
        data = data.replace(b"/Size 6 ", b"/Size %d " % size)
    update, _ = prepare(data)
    new = [number for number in object_numbers(update) if number > 5]
    assert min(new) == first_new and sorted(new) == list(range(first_new, first_new + len(new)))
    assert [s[0] for s in _pdfengine.open(data + update).signatures()] == ["Signature1"]


def test_existing_unsigned_field_is_filled_without_a_new_widget():
    update, _ = prepare(UNSIGNED_FIELD, field="Approval")
    output = UNSIGNED_FIELD + update
    assert qpdf_check(output)[0]
    assert [s[0] for s in _pdfengine.open(output).signatures()] == ["Approval"]
    objects = qpdf_objects(output)
    assert objects["obj:21 0 R"]["value"]["/V"].endswith(" R")
    assert objects["obj:21 0 R"]["value"]["/Rect"] == [10, 10, 90, 40]
    assert objects["obj:5 0 R"]["value"]["/Annots"] == ["21 0 R"]


def test_reason_is_a_pdf_text_string_and_timestamps_have_their_own_type():
    update, _ = prepare(INPUTS["classic"], reason="Grüße € 日本", signing_time="D:20261208140321+01'00'")
    objects = qpdf_objects(INPUTS["classic"] + update)
    signature = next(v["value"] for v in objects.values()
                     if isinstance(v.get("value"), dict) and v["value"].get("/Type") == "/Sig")
    assert signature["/Reason"] == "u:Grüße € 日本"
    assert signature["/M"] == "u:D:20261208140321+01'00'"
    update, _ = _pdfengine.open(INPUTS["classic"]).prepare_signature(
        "Stamp", "/ETSI.RFC3161", 64, document_timestamp=True)
    assert b"/Type /DocTimeStamp" in update and b"/M " not in update


def test_a_signed_document_takes_a_second_signature_and_keeps_the_first():
    data = INPUTS["object-streams"]
    first, first_range = prepare(data)
    signed = data + first
    second, _ = prepare(signed, field="Signature2")
    output = signed + second
    assert qpdf_check(output)[0]
    ranges = {s[0]: s[3] for s in _pdfengine.open(output).signatures()}
    assert ranges["Signature1"] == first_range and set(ranges) == {"Signature1", "Signature2"}


@pytest.mark.parametrize("data, field, error, words", [
    (qpdf_encrypt(INPUTS["classic"], "secret"), "Signature1", exceptions.PdfEncryptedError, "user password"),
    (b"Just some text, not a document.", "Signature1", exceptions.PdfReadError, "not a PDF"),
    (b"", "Signature1", exceptions.PdfReadError, "empty"),
    (INPUTS["classic"][:len(INPUTS["classic"]) // 2], "Signature1", exceptions.PdfReadError, "truncated"),
    (TEXT_FIELD, "Approval", exceptions.SigningError, "not a signature field"),
    (CERTIFIED_NO_CHANGES, "Signature1", exceptions.SigningError, "DocMDP permission 1"),
    (INPUTS["classic"], "Parent.Child", exceptions.SigningError, "nested"),
])
def test_refusals_name_the_problem(data, field, error, words):
    with pytest.raises(error, match=words):
        prepare(data, field=field)


def test_an_already_signed_field_is_refused():
    signed = INPUTS["classic"] + prepare(INPUTS["classic"])[0]
    with pytest.raises(exceptions.SigningError, match="'Signature1' is already signed"):
        prepare(signed)


def test_dss_is_created_merged_and_deduplicated():
    data = INPUTS["object-streams"]
    cert_a, cert_b, ocsp, crl = b"\x30\x03cert-a", b"\x30\x03cert-b", b"\x30\x02oc", b"\x30\x02cr"
    first = _pdfengine.open(data).append_dss([cert_a, cert_a], [ocsp], [crl])
    once = data + first
    assert qpdf_check(once)[0]
    second = _pdfengine.open(once).append_dss([cert_a, cert_b], [ocsp], [], [("ABCDEF01", [cert_b], [], [])])
    twice = once + second
    assert qpdf_check(twice)[0]
    assert _pdfengine.open(twice).append_dss([cert_b], [ocsp], [crl]) == b""

    def dss_of(document):
        objects = qpdf_objects(document)
        dss = objects["obj:" + objects["trailer"]["value"]["/Root"]]["value"].get("/DSS", {})
        return objects, objects["obj:" + dss]["value"] if isinstance(dss, str) else dss

    objects, dss = dss_of(twice)

    def stream_data(reference):
        return _stream_bytes(twice, objects, reference)

    assert [stream_data(r) for r in dss["/Certs"]] == [cert_a, cert_b]
    assert [stream_data(r) for r in dss["/OCSPs"]] == [ocsp]
    assert [stream_data(r) for r in dss["/CRLs"]] == [crl]
    assert [stream_data(r) for r in dss["/VRI"]["/ABCDEF01"]["/Cert"]] == [cert_b]
    assert "/VRI" not in dss_of(once)[1]


@pytest.mark.parametrize("kind", ["classic", "object-streams", "hybrid", "classic-then-update", "size-gap"])
def test_one_parse_goes_on_through_signature_dss_and_timestamp_revisions(kind):
    # Each update is built on the state the previous one left, never on a
    # re-read of the output: numbering, /Prev chain, DSS deduplication and the
    # earlier signature must all come out as a fresh reader sees them.
    data = INPUTS.get(kind) or sample_pdfs.document().replace(b"/Size 6 ", b"/Size 100000 ")
    document = _pdfengine.open(data)
    signed, _ = document.prepare_signature("Signature1", PADES, 512)
    with pytest.raises(exceptions.PdfWriteError, match="not the one last prepared"):
        document.extend(signed[:-1])
    document.extend(signed)
    cert = b"\x30\x03cert"
    dss = document.append_dss([cert], [b"\x30\x02oc"], [])
    document.extend(dss)
    assert document.append_dss([cert], [], []) == b""
    stamped, byte_range = document.prepare_signature("DocumentTimestamp1", "/ETSI.RFC3161", 512,
                                                     document_timestamp=True)
    document.extend(stamped)
    output = data + signed + dss + stamped
    assert document.length() == len(output) == byte_range[2] + byte_range[3]
    ok, report = qpdf_check(output)
    # A /Size far beyond the objects is the input's own oddity, kept by every revision.
    assert ok or kind == "size-gap" and report.count("WARNING") == 1 and "reported number of objects" in report, report
    reread = _pdfengine.open(output)
    assert [record[:3] for record in reread.signatures()] == [
        ("Signature1", "/Sig", PADES), ("DocumentTimestamp1", "/DocTimeStamp", "/ETSI.RFC3161")]
    assert [field for field, _type, _value in reread.fields()] == ["Signature1", "DocumentTimestamp1"]
    assert reread.signatures()[1][3] == tuple(byte_range)
    assert reread.append_dss([cert], [], []) == b""  # the DSS holds the certificate once, where it was put


def _stream_bytes(data, objects, reference):
    number = int(reference.split()[0])
    start = data.rindex(b"\n%d 0 obj\n" % number)
    length = objects["obj:" + reference]["stream"]["dict"]["/Length"]
    body = data.index(b"stream\n", start) + 7
    return data[body:body + length]


# Hostile callers: whatever Python hands the binding ends in an exception, never
# in a crash. Each case runs in a child, where a crash shows as a signal.
CALLER_PRELUDE = """
import os, sys
from unittest import mock
from CorvaneSDK.CorvaneSign.corvane_signature import exceptions
from CorvaneSDK import _pdfengine as engine
data = %r

def outcome(call):
    try:
        result = call()
    except Exception as error:
        return type(error).__name__
    return type(result).__name__
"""

HOSTILE_CALLERS = [
    ("engine.revisions(mock.Mock(spec=engine.Document))", "TypeError"),
    ("engine.graph_differences(engine.open(data), mock.MagicMock(spec=engine.Document))", "TypeError"),
    ("engine.stream_data(type('Fake', (), {'__slots__': ('a', 'b', 'c'), '__class__': engine.Document})(), 1, 0)",
     "TypeError"),
    ("(setattr(engine, 'Document', object), type(engine.open(data)).__name__)[1]", "str"),
    ("(setattr(engine, 'Document', bytearray), engine.revisions(engine.open(data)))[1]", "list"),
    ("(setattr(engine, 'PdfReadError', 5), engine.open(b'not a PDF'))", "PdfReadError"),
    ("(setattr(engine, 'SigningError', None), engine.open(data).prepare_signature('S', '/P', 2 ** 62))",
     "SigningError"),
    ("engine.open(data).prepare_signature('S', '/ETSI.CAdES.detached', 2 ** 200)", "SigningError"),
    ("engine.open(data).prepare_signature('S', '/ETSI.CAdES.detached', -2 ** 200)", "ValueError"),
    ("engine.open(data).prepare_signature('S', '/ETSI.CAdES.detached', 1.5)", "TypeError"),
    ("engine.open(data).prepare_signature('S', '/P', 9, appearance=(1, (0, 0, 'x', 9), ['a']))", "TypeError"),
    ("engine.open(data).prepare_signature('S', '/P', 9, appearance=(1, (0, 0, 9), [b'a']))", "ValueError"),
    ("engine.open(data).prepare_signature('S', '/P', 9, appearance=(2 ** 70, (0, 0, 9, 9), []))",
     "OverflowError"),
    ("engine.open([data, 3.5])", "TypeError"),
    ("engine.open(data).append_dss([b'x', 'not bytes'], [], [])", "TypeError"),
    ("engine.open(data).append_dss([], [], [], [('ABCD', [1], [], [])])", "TypeError"),
    ("engine.join(iter([data]))", "TypeError"),
    ("engine.join([data, memoryview(data)])", "TypeError"),
    ("engine.join([(True, 5)])", "TypeError"),
    ("engine.join([(0, -1)])", "ValueError"),
    ("engine.join([(987654, 1)])", "PdfReadError"),
    # A file shorter than its piece is refused, not joined short or padded.
    ("engine.join([data, (os.open(sys.executable, os.O_RDONLY), os.path.getsize(sys.executable) + 1)])",
     "PdfReadError"),
    ("engine.join([(os.open(sys.executable, os.O_RDONLY), 2 ** 62)] * 3)", "PdfWriteError"),
]


@pytest.mark.parametrize("call, result", HOSTILE_CALLERS)
def test_hostile_callers_get_exceptions_not_crashes(call, result):
    program = CALLER_PRELUDE % (INPUTS["classic"],) + "print(outcome(lambda: %s))\n" % call
    child = subprocess.run([sys.executable, "-c", program], capture_output=True, text=True, timeout=120)
    assert child.returncode == 0, child.stderr[-2000:]
    assert child.stdout.strip() == result, child.stderr[-2000:]


def test_names_that_are_not_utf8_come_back_as_text():
    data = sample_pdfs.document(
        catalog_extra=b"/AcroForm << /Fields [20 0 R 21 0 R] >>",
        extra_objects={20: b"<< /FT /Tx#FF /T <FEFFD800> /V (x) >>",
                       21: b"<< /FT /Sig /T (Sig#1) /V << /Type /Sig#E9 /SubFilter /A#FFB /Contents <00> >> >>"})
    document = _pdfengine.open(data)
    (name, field_type, _), _sig = document.fields()
    assert field_type == "/Tx\ufffd" and isinstance(name, str)
    [(field, value_type, subfilter, _range, _contents)] = document.signatures()
    assert (value_type, subfilter) == ("/Sig\ufffd", "/A\ufffdB")
    assert all(isinstance(value["/Type"], str) for _, value in _pdfengine.signature_values(document))
    update, _ = document.prepare_signature("Signature1", PADES, 512)
    assert qpdf_check(data + update)[0]
    later = sample_pdfs.with_update(data, {1: b"<< /Type /Catalog /Pages 2 0 R /X#FF 30 0 R >>", 30: b"<< >>"})
    [added] = [d for d in _pdfengine.graph_differences(document, _pdfengine.open(later)) if d[:2] == (30, 0)]
    assert added[8][2][0][2] == "/X\ufffd"


def _with_object(data, number, body):
    """``data`` (one classic section) with object ``number`` added to its table."""
    xref_at = last_startxref(data)
    trailer_at = data.index(b"trailer", xref_at)
    added_at = xref_at
    objects = data[:xref_at] + b"%d 0 obj\n%s\nendobj\n" % (number, body)
    table = data[xref_at:trailer_at] + b"%d 1\n%010d 00000 n \n" % (number, added_at)
    trailer = data[trailer_at:].replace(b"startxref\n%d" % xref_at, b"startxref\n%d" % len(objects))
    return objects + table + trailer


def test_numbers_past_what_pdf_allows_are_refused_before_anything_is_laid_out(tmp_path):
    # New objects would be numbered past 8388607, or their number would overflow.
    for number in (8388607, 2 ** 31 - 2):
        with pytest.raises(exceptions.PdfWriteError, match="already uses object number %d" % number):
            prepare(_with_object(INPUTS["classic"], number, b"<< /Placed /Last >>"))
    # Past 10^10 bytes a classic xref row would take eleven digits and shift every later row.
    data = INPUTS["classic"]
    xref_at = last_startxref(data)
    far = 10 ** 10 + 17
    sparse = tmp_path / "large.pdf"
    with open(sparse, "wb") as stream:
        stream.write(data[:xref_at])
        stream.seek(far)
        stream.write(data[xref_at:].replace(b"startxref\n%d" % xref_at, b"startxref\n%d" % far))
    with open(sparse, "rb") as stream:
        document = _pdfengine.open([stream.fileno()])
    with pytest.raises(exceptions.PdfWriteError, match="past the ten digits a classic cross-reference table"):
        document.append_dss([b"\x30\x00"], [], [])
