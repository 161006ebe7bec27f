"""Benchmark inputs, generated on the fly.

A small writer lays out plain documents (text pages, or pages carrying large
image XObjects) with a classic xref table; qpdf rewrites a copy with object
and xref streams.  Image data is random so that nothing compresses it away.

The object-heavy input is a real typeset document instead: qpdf joins the
LaTeX documentation of Debian's texlive-latex-base-doc into one file of
about 17 MB with some 140,000 objects (object streams, or a classic xref).
"""

import glob
import os
import subprocess
import zlib

__all__ = ["INPUTS", "make_input"]

MB = 1024 * 1024


class _Writer:
    def __init__(self):
        self.objects = []

    def add(self, body):
        self.objects.append(body)
        return len(self.objects)

    def reserve(self):
        self.objects.append(None)
        return len(self.objects)

    def set(self, number, body):
        self.objects[number - 1] = body

    def write(self, path, root):
        with open(path, "wb") as out:
            out.write(b"%PDF-1.7\n%\xe2\xe3\xcf\xd3\n")
            offsets = []
            for number, body in enumerate(self.objects, 1):
                offsets.append(out.tell())
                out.write(b"%d 0 obj\n" % number)
                out.write(body)
                out.write(b"\nendobj\n")
            xref = out.tell()
            out.write(b"xref\n0 %d\n0000000000 65535 f \n" % (len(self.objects) + 1))
            for offset in offsets:
                out.write(b"%010d 00000 n \n" % offset)
            out.write(b"trailer\n<< /Size %d /Root %d 0 R >>\nstartxref\n%d\n%%%%EOF\n"
                      % (len(self.objects) + 1, root, xref))


def _stream(dictionary, data):
    return b"<< %s /Length %d >>\nstream\n%s\nendstream" % (dictionary, len(data), data)


def _document(path, pages, image_bytes_per_page=0):
    writer = _Writer()
    catalog = writer.reserve()
    page_tree = writer.reserve()
    font = writer.add(b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>")
    kids = []
    side = int((image_bytes_per_page // 3) ** 0.5) if image_bytes_per_page else 0
    for index in range(pages):
        text = b"BT /F1 12 Tf 72 720 Td (Benchmark page %d) Tj ET\n" % (index + 1)
        text += b"".join(b"BT /F1 9 Tf 72 %d Td (Line %d of a plain text page.) Tj ET\n"
                         % (700 - 12 * line, line) for line in range(40))
        resources = b"/Font << /F1 %d 0 R >>" % font
        if side:
            image = writer.add(_stream(
                b"/Type /XObject /Subtype /Image /Width %d /Height %d /ColorSpace /DeviceRGB "
                b"/BitsPerComponent 8" % (side, side), os.urandom(side * side * 3)))
            resources += b" /XObject << /Im1 %d 0 R >>" % image
            text += b"q 400 0 0 400 100 100 cm /Im1 Do Q\n"
        content = writer.add(_stream(b"/Filter /FlateDecode", zlib.compress(text)))
        kids.append(writer.add(
            b"<< /Type /Page /Parent %d 0 R /MediaBox [0 0 612 792] /Resources << %s >> "
            b"/Contents %d 0 R >>" % (page_tree, resources, content)))
    writer.set(page_tree, b"<< /Type /Pages /Count %d /Kids [%s] >>"
               % (pages, b" ".join(b"%d 0 R" % kid for kid in kids)))
    writer.set(catalog, b"<< /Type /Catalog /Pages %d 0 R >>" % page_tree)
    writer.write(path, catalog)


_LATEX_DOC = "/usr/share/doc/texlive-doc/latex"
# The largest manuals of texlive-latex-base-doc, in this order.
_LATEX_MANUALS = ["l3kernel/source3.pdf", "base/source2e.pdf", "l3kernel/interface3.pdf",
                  "base/encguide.pdf", "base/ltnews.pdf", "hyperref/hyperref.pdf"]


def _object_heavy(path, xref_streams):
    manuals = [os.path.join(_LATEX_DOC, name) for name in _LATEX_MANUALS]
    missing = [name for name in manuals if not glob.glob(name)]
    if missing:
        raise SystemExit("the object-heavy input needs Debian's texlive-latex-base-doc "
                         "(apt-get install texlive-latex-base-doc): %s is missing" % missing[0])
    streams = "--object-streams=generate" if xref_streams else "--object-streams=disable"
    subprocess.run(["qpdf", "--empty", "--pages"] + manuals + ["--", streams, path], check=True)


# name -> (pages, total image bytes), or None for the object-heavy real document
INPUTS = {
    "1-page": (1, 0),
    "100-page-text": (100, 0),
    "2000-page": (2000, 0),
    "object-heavy": None,
    "50MB-images": (25, 50 * MB),
    "200MB-images": (50, 200 * MB),
}


def make_input(folder, name, xref_streams):
    """Writes input `name` into `folder` (classic xref or xref streams) and returns its path."""
    kind = "xrefstream" if xref_streams else "classic"
    path = os.path.join(folder, "%s-%s.pdf" % (name, kind))
    if os.path.exists(path):
        return path
    if INPUTS[name] is None:
        _object_heavy(path + ".part", xref_streams)
        os.replace(path + ".part", path)
        return path
    plain = path + ".plain"
    pages, image_bytes = INPUTS[name]
    _document(plain, pages, image_bytes // pages if image_bytes else 0)
    if xref_streams:
        subprocess.run(["qpdf", "--object-streams=generate", plain, path], check=True)
        os.unlink(plain)
    else:
        os.replace(plain, path)
    return path
