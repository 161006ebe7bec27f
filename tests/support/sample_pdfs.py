"""Small PDF documents for the library's tests, written by hand and reshaped
by qpdf (object streams, linearization, encryption) so that every input kind
the engine meets is covered by a file a real tool produced."""

import os
import subprocess
import tempfile

PAGE_CONTENT = b"BT /F1 12 Tf 72 720 Td (Hello) Tj ET"


def _objects(out, objects):
    """Appends {number: body} to ``out`` (a (dict, data) pair is a stream); returns their offsets."""
    offsets = {}
    for number in sorted(objects):
        offsets[number] = len(out)
        body = objects[number]
        if isinstance(body, tuple):
            entries, data = body
            body = b"<< %s /Length %d >>\nstream\n%s\nendstream" % (entries, len(data), data)
        out += b"%d 0 obj\n%s\nendobj\n" % (number, body)
    return offsets


def _xref_table(offsets, size, free_generation):
    rows = [b"xref\n0 %d\n0000000000 65535 f \n" % size]
    for number in range(1, size):
        if number in offsets:
            rows.append(b"%010d 00000 n \n" % offsets[number])
        else:
            rows.append(b"0000000000 %05d f \n" % free_generation)
    return b"".join(rows)


def write_pdf(objects, root=1, trailer_extra=b""):
    """A classic-xref PDF from {number: body} (bytes; a (dict, data) pair is a stream)."""
    out = bytearray(b"%PDF-1.7\n%\xe2\xe3\xcf\xd3\n")
    offsets = _objects(out, objects)
    size = max(objects) + 1
    xref_at = len(out)
    out += _xref_table(offsets, size, free_generation=1)
    out += b"trailer\n<< /Size %d /Root %d 0 R %s >>\nstartxref\n%d\n%%%%EOF\n" % (size, root, trailer_extra, xref_at)
    return bytes(out)


def document(pages=1, catalog_extra=b"", page_extra=b"", extra_objects=None):
    """Catalog 1, page tree 2 (MediaBox and Resources inherited by the pages),
    font 3, content 4, pages from 5 on."""
    kids = b" ".join(b"%d 0 R" % (5 + i) for i in range(pages))
    objects = {
        1: b"<< /Type /Catalog /Pages 2 0 R %s >>" % catalog_extra,
        2: b"<< /Type /Pages /Kids [%s] /Count %d /MediaBox [0 0 612 792] "
           b"/Resources << /Font << /F1 3 0 R >> >> >>" % (kids, pages),
        3: b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        4: (b"", PAGE_CONTENT),
    }
    for i in range(pages):
        objects[5 + i] = b"<< /Type /Page /Parent 2 0 R /Contents 4 0 R %s >>" % page_extra
    objects.update(extra_objects or {})
    return write_pdf(objects)


def qpdf(data, *arguments):
    """``data`` rewritten by qpdf with ``arguments`` (e.g. "--object-streams=generate")."""
    with tempfile.TemporaryDirectory() as folder:
        source, target = os.path.join(folder, "in.pdf"), os.path.join(folder, "out.pdf")
        with open(source, "wb") as stream:
            stream.write(data)
        result = subprocess.run(["qpdf", "--static-id", *arguments, source, target],
                                capture_output=True, text=True)
        if result.returncode not in (0, 3):
            raise RuntimeError("qpdf %s failed: %s" % (" ".join(arguments), result.stderr))
        with open(target, "rb") as stream:
            return stream.read()


def hybrid(pages=1):
    """A hybrid-reference file: a classic table for readers without xref
    streams, and /XRefStm naming the stream that lists the objects kept in an
    object stream (here the document information and the font)."""
    font = b"<< /Type /Font /Subtype /Type1 /BaseFont /Courier >>"
    info = b"<< /Producer (hybrid sample) >>"
    header = b"7 0 8 %d " % len(info + b" ")
    packed = header + info + b" " + font
    kids = b" ".join(b"%d 0 R" % (10 + i) for i in range(pages))
    objects = {
        1: b"<< /Type /Catalog /Pages 2 0 R >>",
        2: b"<< /Type /Pages /Kids [%s] /Count %d /MediaBox [0 0 612 792] "
           b"/Resources << /Font << /F1 8 0 R >> >> >>" % (kids, pages),
        4: (b"", PAGE_CONTENT),
        5: (b"/Type /ObjStm /N 2 /First %d" % len(header), packed),
    }
    for i in range(pages):
        objects[10 + i] = b"<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>"
    out = bytearray(b"%PDF-1.5\n%\xe2\xe3\xcf\xd3\n")
    offsets = _objects(out, objects)
    size = 10 + pages
    stream_number = 6
    offsets[stream_number] = len(out)
    rows = b"\x02\x00\x05\x00" + b"\x02\x00\x05\x01"
    out += (b"6 0 obj\n<< /Type /XRef /Size %d /W [1 2 1] /Index [7 2] /Root 1 0 R /Length %d >>\n"
            b"stream\n%s\nendstream\nendobj\n" % (size, len(rows), rows))
    xref_at = len(out)
    out += _xref_table(offsets, size, free_generation=0)
    out += (b"trailer\n<< /Size %d /Root 1 0 R /Info 7 0 R /XRefStm %d >>\nstartxref\n%d\n%%%%EOF\n"
            % (size, offsets[stream_number], xref_at))
    return bytes(out)


def trailer_size(data):
    return int(data.rsplit(b"/Size", 1)[1].split()[0].rstrip(b"/>"))


def with_update(data, objects, xref_stream=False):
    """``data`` followed by a hand-written incremental update replacing ``objects``."""
    prev = int(data.rsplit(b"startxref", 1)[1].split()[0])
    root = int(data.rsplit(b"/Root", 1)[1].split()[0])
    size = trailer_size(data)
    size = max(size, max(objects) + 1)
    out = bytearray(data)
    offsets = {}
    for number in sorted(objects):
        offsets[number] = len(out)
        out += b"%d 0 obj\n%s\nendobj\n" % (number, objects[number])
    xref_at = len(out)
    if xref_stream:
        offsets[size] = xref_at
        rows = b"".join(b"\x01" + offsets[n].to_bytes(4, "big") + b"\x00" for n in sorted(offsets))
        index = b" ".join(b"%d 1" % n for n in sorted(offsets))
        out += (b"%d 0 obj\n<< /Type /XRef /Size %d /W [1 4 1] /Index [%s] /Root %d 0 R /Prev %d /Length %d >>\n"
                b"stream\n%s\nendstream\nendobj\n" % (size, size + 1, index, root, prev, len(rows), rows))
    else:
        out += b"xref\n"
        for number in sorted(offsets):
            out += b"%d 1\n%010d 00000 n \n" % (number, offsets[number])
        out += b"trailer\n<< /Size %d /Root %d 0 R /Prev %d >>\n" % (size, root, prev)
    out += b"startxref\n%d\n%%%%EOF\n" % xref_at
    return bytes(out)


def encrypted(data, user_password="", bits="256", *extra):
    """``data`` encrypted by qpdf with owner password "owner" (an empty user
    password lets any reader open it); ``extra`` are qpdf's encryption options."""
    weak = ["--allow-weak-crypto"] if bits == "40" or "--use-aes=n" in extra else []
    return qpdf(data, *weak, "--encrypt", user_password, "owner", bits, *extra, "--")


def field_document(field, page_annots=True):
    """A one-page document whose AcroForm holds field object 20, ``field``
    (the body of a dictionary, also the page's widget when ``page_annots``)."""
    return document(catalog_extra=b"/AcroForm << /Fields [20 0 R] /DA (/Helv 0 Tf 0 g) >>",
                    page_extra=b"/Annots [20 0 R]" if page_annots else b"",
                    extra_objects={20: b"<< %s /P 5 0 R >>" % field})


def nested_page_tree():
    """The first page sits two levels down and inherits MediaBox and Resources
    from the root of the page tree."""
    return write_pdf({
        1: b"<< /Type /Catalog /Pages 2 0 R >>",
        2: b"<< /Type /Pages /Kids [6 0 R 7 0 R] /Count 2 /MediaBox [0 0 612 792] "
           b"/Resources << /Font << /F1 3 0 R >> >> >>",
        3: b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        4: (b"", PAGE_CONTENT),
        6: b"<< /Type /Pages /Parent 2 0 R /Kids [8 0 R] /Count 1 >>",
        7: b"<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>",
        8: b"<< /Type /Page /Parent 6 0 R /Contents 4 0 R >>",
    })


def many_objects(count=60000):
    """A document whose page carries ``count`` small annotation objects."""
    first = 10
    objects = {number: b"<< /Type /Annot /Subtype /Text /Rect [0 0 1 1] /Contents (n%d) >>" % number
               for number in range(first, first + count)}
    annots = b"%d 0 R" % (first + count)
    objects[first + count] = b"[" + b" ".join(b"%d 0 R" % n for n in range(first, first + count)) + b"]"
    return document(page_extra=b"/Annots " + annots, extra_objects=objects)


def broken_xref_offsets(data):
    """``data`` with every in-use xref entry pointing 7 bytes too far."""
    head, tail = data.rsplit(b"\nxref\n", 1)
    table, rest = tail.split(b"trailer", 1)
    lines = table.split(b"\n")
    for index, line in enumerate(lines):
        if line.endswith(b" n ") and len(line) == 19:
            lines[index] = b"%010d%s" % (int(line[:10]) + 7, line[10:])
    return head + b"\nxref\n" + b"\n".join(lines) + b"trailer" + rest


SIGNED_FIELD = (b"/FT /Sig /T (Signature1) /Type /Annot /Subtype /Widget /Rect [0 0 0 0] "
                b"/V << /Type /Sig /Filter /Adobe.PPKLite /SubFilter /ETSI.CAdES.detached "
                b"/ByteRange [0 10 30 10] /Contents <3000> >>")

# Awkward inputs, by name: every kind of file the engine must either sign
# cleanly or refuse with a clear error.
AWKWARD = {
    "classic-xref": lambda: document(),
    "xref-stream-object-streams": lambda: qpdf(document(pages=3), "--object-streams=generate"),
    "hybrid-reference": lambda: hybrid(pages=2),
    "linearized": lambda: qpdf(document(pages=3), "--linearize"),
    "several-updates": lambda: with_update(
        with_update(document(), {6: b"<< /Producer (first update) >>"}),
        {3: b"<< /Type /Font /Subtype /Type1 /BaseFont /Courier >>"}, xref_stream=True),
    "inherited-resources": nested_page_tree,
    "acroform-without-fields": lambda: document(catalog_extra=b"/AcroForm << /DA (/Helv 0 Tf 0 g) >>"),
    "unsigned-signature-field": lambda: field_document(
        b"/FT /Sig /T (Signature1) /Type /Annot /Subtype /Widget /Rect [0 0 0 0]"),
    "signed-signature-field": lambda: field_document(SIGNED_FIELD),
    "text-field-named-signature1": lambda: field_document(
        b"/FT /Tx /T (Signature1) /Type /Annot /Subtype /Widget /Rect [0 0 10 10] /V (typed)"),
    "encrypted-aes256-empty-user-password": lambda: encrypted(document(catalog_extra=b"/Lang (en)")),
    "encrypted-aes128-empty-user-password": lambda: encrypted(document(pages=2), "", "128", "--use-aes=y"),
    "encrypted-rc4-128-empty-user-password": lambda: encrypted(
        qpdf(document(), "--object-streams=generate"), "", "128", "--use-aes=n"),
    "encrypted-user-password": lambda: encrypted(document(), "secret"),
    "truncated": lambda: document()[:300],
    "garbage-after-eof": lambda: document() + b"\x00garbage that is not PDF\n" * 4,
    "long-garbage-after-eof": lambda: document() + b"garbage " * 400,
    "broken-xref-offsets": lambda: broken_xref_offsets(document()),
    "trailer-size-beyond-pdf-limits": lambda: document().replace(b"/Size 6", b"/Size 4000000000"),
    "zero-bytes": lambda: b"",
    "not-a-pdf": lambda: b"GIF89a\x01\x00\x01\x00" + bytes(range(256)),
    "very-many-objects": many_objects,
}
