"""Hostile documents under 1 MB against every entry point of the PDF engine:
each call ends, with a result or the library's own error, in seconds, and its
memory grows by at most 4 x the input + 64 MB. The bounds themselves are
written down in src/pdfengine/limits.hh; each call runs in a child process
whose peak resident set is measured."""

import subprocess
import sys
import zlib

import pytest

from support.sample_pdfs import document, with_update

MB = 1024 * 1024
BOMB = zlib.compress(bytes(64 * MB), 9)  # 64 MiB of zeros in about 64 KiB


def stream(data, entries=b""):
    return b"<< %s /Length %d >>\nstream\n%s\nendstream" % (entries, len(data), data)


def dss_document(arrays):
    return document(catalog_extra=b"/DSS << /Certs [%s] >>" % arrays[0],
                    extra_objects=dict(arrays[1]))


def one_bomb_listed_often():
    return dss_document((b"20 0 R " * 100, {20: stream(BOMB, b"/Filter /FlateDecode")}))


def many_distinct_bombs():
    bombs = {20 + i: stream(BOMB, b"/Filter /FlateDecode") for i in range(8)}
    return dss_document((b" ".join(b"%d 0 R" % n for n in bombs), bombs))


def fields_sharing_one_large_signature():
    fields = b" ".join(b"<< /FT /Sig /T (f%d) /V 20 0 R >>" % i for i in range(12000))
    contents = b"<" + b"ab" * 100000 + b">"
    return document(catalog_extra=b"/AcroForm << /Fields [%s] >>" % fields,
                    extra_objects={20: b"<< /Type /Sig /SubFilter /ETSI.CAdES.detached "
                                       b"/ByteRange [0 1 2 3] /Contents %s >>" % contents})


def field_tree_shared_at_every_level(levels=40):
    objects = {}
    for level in range(levels):
        number = 20 + level
        objects[number] = b"[<< /T (a) /Kids %d 0 R >> << /T (b) /Kids %d 0 R >>]" % (number + 1, number + 1)
    objects[20 + levels] = b"[<< /T (leaf) /FT /Sig >>]"
    return document(catalog_extra=b"/AcroForm << /Fields 20 0 R >>", extra_objects=objects)


def deeply_nested_arrays():
    return document(catalog_extra=b"/Deep " + b"[" * 200000 + b"]" * 200000)


def many_revisions(count=2500):
    data = document()
    for i in range(count):
        data = with_update(data, {3: b"<< /Type /Font /Subtype /Type1 /BaseFont /F%d >>" % i})
    return data


def many_end_markers_naming_the_first_section(count=2000):
    data = document(extra_objects={10 + i: b"<< /N %d >>" % i for i in range(12000)})
    first = int(data.rsplit(b"startxref", 1)[1].split()[0])
    comments = b"".join(b"%% marker\nstartxref\n%d\n%%%%EOF\n" % first for _ in range(count))
    return with_update(data + comments, {3: b"<< /Type /Font /Subtype /Type1 /BaseFont /Courier >>"})


def prev_loop():
    data = with_update(document(), {3: b"<< /Type /Font /Subtype /Type1 /BaseFont /Courier >>"})
    start = int(data.rsplit(b"startxref", 1)[1].split()[0])
    prev = int(data.rsplit(b"/Prev", 1)[1].split()[0])
    return data.replace(b"/Prev %d" % prev, b"/Prev %d" % start)


PREPARE = "doc.prepare_signature('Signature1', '/ETSI.CAdES.detached', 8192)"
CALLS = {
    "one-bomb-listed-often": (one_bomb_listed_often, ["doc.append_dss([b'new'], [], [])"]),
    "many-distinct-bombs": (many_distinct_bombs, ["doc.append_dss([b'new'], [], [])",
                                                  "engine.stream_data(doc, 20, 0)"]),
    "fields-sharing-one-signature": (fields_sharing_one_large_signature,
                                     ["doc.signatures()", "engine.signature_values(doc)", PREPARE]),
    "field-tree-shared-at-every-level": (field_tree_shared_at_every_level, ["doc.fields()", PREPARE]),
    "deeply-nested-arrays": (deeply_nested_arrays, ["engine.object_json(doc, 1, 0)", PREPARE,
                                                    "engine.trailer_json(doc)"]),
    "many-revisions": (many_revisions, ["engine.revisions(doc)", PREPARE, "doc.append_dss([b'new'], [], [])",
                                        "engine.graph_differences(engine.open(data[:len(data) // 2]), doc)"]),
    "many-end-markers": (many_end_markers_naming_the_first_section, ["engine.revisions(doc)"]),
    "prev-loop": (prev_loop, ["doc.fields()"]),
}

CHILD = """
import resource, sys, time
from CorvaneSDK.CorvaneSign.corvane_signature import exceptions
from CorvaneSDK import _pdfengine as engine
data = open(sys.argv[1], "rb").read()
before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
start = time.monotonic()
try:
    doc = engine.open(data)
    eval(sys.argv[2])
    outcome = "done"
except exceptions.CorvaneSignError as error:
    outcome = type(error).__name__
growth = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before
print(outcome, time.monotonic() - start, growth * 1024)
"""


@pytest.mark.parametrize("name, call", [(name, call) for name, (_, calls) in CALLS.items() for call in calls])
def test_hostile_document_costs_bounded_time_and_memory(tmp_path, name, call):
    data = CALLS[name][0]()
    assert len(data) < MB
    path = tmp_path / "hostile.pdf"
    path.write_bytes(data)
    # Generous: minutes would mean work that grows faster than the input.
    child = subprocess.run([sys.executable, "-c", CHILD, str(path), call], capture_output=True, text=True,
                           timeout=120)
    assert child.returncode == 0, child.stderr[-3000:]
    outcome, seconds, growth = child.stdout.split()
    assert outcome in ("done", "PdfReadError", "SigningError", "PdfWriteError"), child.stdout
    assert float(seconds) < 20, (outcome, seconds)
    assert int(growth) <= 4 * len(data) + 64 * MB, (outcome, int(growth) // MB)
