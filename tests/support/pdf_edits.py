"""Hand-made incremental updates of signed documents: objects are read with
the engine (qpdf's JSON) and written back in PDF syntax, changed."""


from CorvaneSDK import _pdfengine
from support.sample_pdfs import trailer_size, with_update


def pdf_syntax(value):
    """qpdf JSON (version 2) of a direct value, as PDF syntax."""
    if value is None:
        return "null"
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, (int, float)):
        return repr(value)
    if isinstance(value, list):
        return "[" + " ".join(pdf_syntax(item) for item in value) + "]"
    if isinstance(value, dict):
        return "<< " + " ".join("%s %s" % (key, pdf_syntax(item)) for key, item in value.items()) + " >>"
    if value.startswith("u:"):
        text = value[2:].replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)")
        return "(" + text + ")"
    if value.startswith("b:"):
        return "<" + value[2:] + ">"
    return value  # a name or an indirect reference


class Editor:
    """Objects of ``data`` to change, and the update that writes them."""

    def __init__(self, data):
        self.data = data
        self.document = _pdfengine.open(data)
        self.changed = {}
        self.next_number = trailer_size(data)

    def object(self, ref):
        number, generation = (int(part) for part in ref.split()[:2])
        if number in self.changed:
            return self.changed[number]
        return _pdfengine.object_json(self.document, number, generation)

    @property
    def catalog_ref(self):
        return _pdfengine.trailer_json(self.document)["/Root"]

    @property
    def first_page_ref(self):
        pages = self.object(self.object(self.catalog_ref)["/Pages"])
        return pages["/Kids"][0]

    def put(self, ref, value):
        self.changed[int(ref.split()[0])] = value

    def add(self, value):
        number = self.next_number
        self.next_number += 1
        self.changed[number] = value
        return "%d 0 R" % number

    def update(self):
        bodies = {}
        for number, value in self.changed.items():
            bodies[number] = value if isinstance(value, bytes) else pdf_syntax(value).encode("latin-1")
        return with_update(self.data, bodies)
