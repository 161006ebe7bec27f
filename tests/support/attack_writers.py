"""Incremental updates written by hand on top of signed documents: the
changes a later signer or an attacker appends, object by object, with any
generation, and signatures made here with the sandbox's key (certifying,
visible, in an existing field) where the library would not make them."""

import asyncio
import hashlib
import re
import subprocess
import tempfile

from cryptography.hazmat.primitives import serialization

from CorvaneSDK.CorvaneSign.corvane_certvalidator.registry import SimpleCertificateStore
from CorvaneSDK import _pdfengine
from CorvaneSDK.CorvaneSign.corvane_signature.sign import signers
from support.pdf_edits import Editor, pdf_syntax

CONTENTS_SIZE = 16384  # bytes reserved for a container
_RANGE_PLACEHOLDER = b"/ByteRange [0 0000000000 0000000000 0000000000]"


def stream(data, entries=b""):
    return b"<< %s /Length %d >>\nstream\n%s\nendstream" % (entries, len(data), data)


def text_content(words, size=24, y=600):
    return b"BT /F1 %d Tf 72 %d Td (%s) Tj ET" % (size, y, words)


class Update:
    """One incremental update: objects by (number, generation), then an xref table and trailer."""

    def __init__(self, data):
        self.data = data
        self.editor = Editor(data)
        self.objects = {}
        self.trailer = {}
        self.eol = b"\n"

    def object(self, ref):
        """The object ``ref`` ("N G R") as qpdf JSON, as this update leaves it."""
        number, generation = (int(part) for part in ref.split()[:2])
        if (number, generation) in self.objects and not isinstance(self.objects[(number, generation)], bytes):
            return self.objects[(number, generation)]
        return self.editor.object(ref)

    def put(self, ref, value, generation=None):
        number, old_generation = (int(part) for part in ref.split()[:2])
        self.objects[(number, old_generation if generation is None else generation)] = value

    def add(self, value):
        number = self.editor.next_number
        self.editor.next_number += 1
        self.objects[(number, 0)] = value
        return "%d 0 R" % number

    @property
    def catalog_ref(self):
        return self.editor.catalog_ref

    @property
    def page_ref(self):
        return self.editor.first_page_ref

    def bytes(self):
        data = self.data
        prev = int(data.rsplit(b"startxref", 1)[1].split()[0])
        out = bytearray(data)
        offsets = {}
        for (number, generation), value in sorted(self.objects.items()):
            offsets[(number, generation)] = len(out)
            body = value if isinstance(value, bytes) else pdf_syntax(value).encode("latin-1")
            out += b"%d %d obj\n%s\nendobj\n" % (number, generation, body)
        xref_at = len(out)
        out += b"xref\n"
        for (number, generation), offset in sorted(offsets.items()):
            out += b"%d 1\n%010d %05d n \n" % (number, offset, generation)
        size = max([self.editor.next_number] + [number + 1 for number, _ in offsets])
        extra = "".join(" %s %s" % (key, pdf_syntax(value)) for key, value in self.trailer.items())
        out += b"trailer\n<< /Size %d /Root %s /Prev %d%s >>\n" % (
            size, self.catalog_ref.encode(), prev, extra.encode("latin-1"))
        out += b"startxref\n%d\n%%%%EOF" % xref_at + self.eol
        return bytes(out)


def signature_value(sig_type="/Sig", reference=None):
    """The body of a signature dictionary whose range and contents ``sign`` fills in."""
    entries = b"/Type %s /Filter /Adobe.PPKLite /SubFilter /ETSI.CAdES.detached " % sig_type.encode()
    if reference is not None:
        entries += b"/Reference %s " % pdf_syntax(reference).encode("latin-1")
    return b"<< %s %s /Contents <%s> >>" % (entries, _RANGE_PLACEHOLDER, b"0" * (2 * CONTENTS_SIZE))


def sign(sandbox, update_bytes):
    """``update_bytes`` with the placeholder signature of its last update signed by the sandbox's user."""
    data = bytearray(update_bytes)
    at = data.rindex(_RANGE_PLACEHOLDER)
    start = data.index(b"/Contents <", at) + len(b"/Contents ")
    end = start + 2 * CONTENTS_SIZE + 2
    byte_range = (0, start, end, len(data) - end)
    data[at:at + len(_RANGE_PLACEHOLDER)] = b"/ByteRange [0 %010d %010d %010d]" % byte_range[1:]
    digest = hashlib.sha256(bytes(data[:start]) + bytes(data[end:])).digest()
    value, certificate = sandbox.sign_digest(digest)

    chain = SimpleCertificateStore()
    chain.register_multiple(cert.public_bytes(serialization.Encoding.DER) for cert in sandbox.pki.ca_certificates())

    async def container():
        signer = signers.ExternalSigner(signing_cert=certificate, signature_value=value, cert_registry=chain,
                                        embed_roots=False)
        attrs = await signer.signed_attrs(digest, "sha256", use_pades=True)
        return await signer.async_sign_prescribed_attributes("sha256", signed_attrs=attrs)
    der = asyncio.run(container()).dump()
    assert len(der) <= CONTENTS_SIZE
    data[start + 1:start + 1 + 2 * len(der)] = der.hex().encode()
    return bytes(data)


def docmdp_reference(level):
    return [{"/Type": "/SigRef", "/TransformMethod": "/DocMDP",
             "/TransformParams": {"/Type": "/TransformParams", "/P": level, "/V": "/1.2"}}]


def fieldmdp_reference(names):
    return [{"/Type": "/SigRef", "/TransformMethod": "/FieldMDP",
             "/TransformParams": {"/Type": "/TransformParams", "/Action": "/Include",
                                  "/Fields": ["u:%s" % name for name in names], "/V": "/1.2"}}]


def appearance(update, words, rect):
    """A new appearance stream showing ``words`` in a box of ``rect``'s size."""
    width, height = rect[2] - rect[0], rect[3] - rect[1]
    font = update.add({"/Type": "/Font", "/Subtype": "/Type1", "/BaseFont": "/Helvetica"})
    body = b"0 g 0 0 %d %d re S BT /F1 18 Tf 4 8 Td (%s) Tj ET" % (width, height, words)
    return update.add(stream(body, b"/Type /XObject /Subtype /Form /BBox [0 0 %d %d] "
                                   b"/Resources << /Font << /F1 %s >> >>" % (width, height, font.encode())))


def add_signature_field(update, name, rect=(0, 0, 0, 0), words=None, reference=None, signed=True,
                        sig_type="/Sig"):
    """A new signature field (its own widget on the first page), signed when ``signed``."""
    widget = {"/Type": "/Annot", "/Subtype": "/Widget", "/FT": "/Sig", "/T": "u:%s" % name,
              "/Rect": list(rect), "/F": 4, "/P": update.page_ref}
    if words is not None:
        widget["/AP"] = {"/N": appearance(update, words, rect)}
    if signed:
        widget["/V"] = update.add(signature_value(sig_type, reference))
    ref = update.add(widget)
    attach(update, ref)
    return ref


def attach(update, ref, to_fields=True):
    """``ref`` appended to the first page's /Annots and (when ``to_fields``) to the form's /Fields."""
    page = update.object(update.page_ref)
    page["/Annots"] = list(update.object(page["/Annots"]) if isinstance(page.get("/Annots"), str)
                           else page.get("/Annots", [])) + [ref]
    update.put(update.page_ref, page)
    if to_fields:
        add_to_fields(update, ref)


def add_to_fields(update, ref):
    """``ref`` appended to the form's /Fields (a form is made when there is none)."""
    catalog = update.object(update.catalog_ref)
    form_ref = catalog.get("/AcroForm")
    form = update.object(form_ref) if isinstance(form_ref, str) else dict(form_ref or {"/Fields": []})
    form["/Fields"] = list(form["/Fields"]) + [ref]
    form["/SigFlags"] = 3
    if isinstance(form_ref, str):
        update.put(form_ref, form)
    else:
        catalog["/AcroForm"] = form
        update.put(update.catalog_ref, catalog)


def rendered(data):
    """What poppler draws on the first page: a small greyscale bitmap (PGM bytes)."""
    with tempfile.NamedTemporaryFile(suffix=".pdf") as pdf:
        pdf.write(data)
        pdf.flush()
        return subprocess.run(["pdftoppm", "-r", "20", "-gray", "-f", "1", "-l", "1", pdf.name],
                              capture_output=True, check=True).stdout


def rewrite_object_stream(update, number, old, new):
    """Object stream ``number`` written again with ``old`` replaced by ``new`` (of the same length)
    inside it: the compressed objects change while their cross-reference entries stay."""
    assert len(old) == len(new)
    document = update.editor.document
    entries = _pdfengine.object_json(document, number, 0)["dict"]
    decoded = _pdfengine.stream_data(document, number, 0)
    assert old in decoded
    update.put("%d 0 R" % number, stream(decoded.replace(old, new), b"/Type /ObjStm /N %d /First %d"
                                         % (entries["/N"], entries["/First"])))


def object_stream_of(data, number):
    """The object stream that holds object ``number`` of ``data`` (qpdf's view of its xref)."""
    with tempfile.NamedTemporaryFile(suffix=".pdf") as pdf:
        pdf.write(data)
        pdf.flush()
        listing = subprocess.run(["qpdf", "--show-xref", pdf.name], capture_output=True, text=True).stdout
    return int(re.search(r"^%d/0: compressed; stream = (\d+)" % number, listing, re.M).group(1))
