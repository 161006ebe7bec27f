"""Which changes may follow a signature.

After a signature a document may still receive validation data (the DSS),
document timestamps and new signature fields: the fields, their widgets,
the page /Annots and form /Fields entries that hold them, /SigFlags, and the
signing of a field that was left empty. Anything else that a later
revision adds to or changes in the signed document is a modification: new
objects only matter once a changed object refers to them, so every change
of an existing object is judged, key by key.
"""

from .pdf_values import reference

__all__ = ["LaterRevisions", "judge_later_revisions"]

_CATALOG_KEYS = {"/DSS", "/AcroForm", "/Extensions"}
_FORM_KEYS = {"/Fields", "/SigFlags"}
# Signing a field left empty sets its value; a bare field also becomes its own widget.
_FIELD_SIGNING_KEYS = {"/V", "/AP", "/Type", "/Subtype", "/Rect", "/F", "/P"}
_NOTHING = b"\0\t\n\f\r "


class LaterRevisions:
    """What the revisions after a signature did: allowed additions and modifications."""

    def __init__(self):
        self.added = []
        self.modifications = []

    @property
    def allowed(self):
        return not self.modifications


def judge_later_revisions(history, signed_index):
    """Judges every revision of ``history`` after ``signed_index``."""
    result = LaterRevisions()
    added = set()
    for index in range(signed_index + 1, len(history)):
        _RevisionJudge(history, index, added, result).run()
    trailing = history.trailing_bytes()
    if trailing.strip(_NOTHING):
        result.modifications.append("%d bytes after the end of the last revision belong to no revision"
                                    % len(trailing))
    return result


def _is_stream(value):
    return isinstance(value, dict) and set(value) == {"dict"}


def _label(ref, value):
    if _is_stream(value):
        kind = "a stream"
    elif isinstance(value, dict):
        kind = "a %s dictionary" % value["/Type"] if isinstance(value.get("/Type"), str) else "a dictionary"
    elif isinstance(value, list):
        kind = "an array"
    else:
        kind = "a value"
    return "object %d %d (%s)" % (ref[0], ref[1], kind)


class _RevisionJudge:
    def __init__(self, history, index, added, result):
        self.index = index
        self.before = history.state(index - 1)
        self.after = history.state(index)
        self.changes = history.changes(index)
        self.added = added
        self.result = result
        self._dss_parts = None

    def modified(self, text):
        self.result.modifications.append("revision %d: %s" % (self.index + 1, text))

    def note(self, text):
        if text not in self.result.added:
            self.result.added.append(text)

    def run(self):
        for change in self.changes:
            if change.is_new:
                self.added.add(change.ref)
        self.check_trailer()
        for change in self.changes:
            if change.is_new:
                self.describe_new(change.after)
            elif change.is_freed:
                self.modified("%s was deleted" % _label(change.ref, change.before))
            else:
                self.judge_change(change)

    def check_trailer(self):
        before, after = self.before.trailer, self.after.trailer
        for key in ("/Root", "/Encrypt"):
            if before.get(key) != after.get(key):
                self.modified("the trailer's %s changed" % key)
        if "/Info" in after and before.get("/Info") != after.get("/Info"):
            self.modified("the trailer's /Info changed")

    def describe_new(self, value):
        if not isinstance(value, dict):
            return
        if value.get("/Type") == "/DocTimeStamp":
            self.note("document timestamp")
        elif value.get("/Type") == "/Sig":
            self.note("signature")

    # -- existing objects ---------------------------------------------------

    def judge_change(self, change):
        ref, before, after = change.ref, change.before, change.after
        if ref == self.after.root_ref:
            self.judge_catalog(before, after)
        elif ref in self.dss_parts():
            self.note("validation data (DSS)")
        elif change.data_changed or _is_stream(before) or _is_stream(after):
            self.modified("%s changed" % _label(ref, before))
        elif isinstance(before, dict) and isinstance(after, dict):
            if before.get("/Type") == "/Page":
                self.judge_page(ref, before, after)
            elif ref == reference(self.after.catalog.get("/AcroForm")):
                self.judge_form(before, after)
            elif before.get("/FT") == "/Sig" and "/V" not in before:
                self.judge_field_signing(ref, before, after)
            else:
                self.modified("%s changed" % _label(ref, before))
        elif isinstance(before, list) and isinstance(after, list):
            self.judge_appended(_label(ref, before), before, after)
        else:
            self.modified("%s changed" % _label(ref, before))

    def dss_parts(self):
        """Objects that make up the DSS of the earlier revision."""
        if self._dss_parts is None:
            parts = set()
            pending = [self.before.catalog.get("/DSS")]
            while pending:
                value = pending.pop()
                ref = reference(value)
                if ref is not None:
                    if ref in parts:
                        continue
                    parts.add(ref)
                    value = self.before.object(ref)
                if _is_stream(value):
                    continue
                if isinstance(value, dict):
                    pending.extend(value.values())
                elif isinstance(value, list):
                    pending.extend(value)
            self._dss_parts = parts
        return self._dss_parts

    @staticmethod
    def differing_keys(before, after):
        return sorted(key for key in set(before) | set(after) if before.get(key) != after.get(key))

    def judge_catalog(self, before, after):
        for key in self.differing_keys(before, after):
            if key not in _CATALOG_KEYS:
                self.modified("the catalog's %s changed" % key)
            elif key == "/DSS":
                self.note("validation data (DSS)")
            elif key == "/AcroForm":
                self.judge_form_value(before.get(key), after.get(key))

    def judge_form_value(self, old, new):
        if new is None:
            self.modified("the catalog's /AcroForm was removed")
            return
        new_ref = reference(new)
        if new_ref is not None and new_ref not in self.added:
            self.modified("the catalog's /AcroForm now names another existing object")
            return
        old_form = self.before.resolve(old) if old is not None else {}
        new_form = self.after.resolve(new)
        if not isinstance(old_form, dict) or not isinstance(new_form, dict):
            self.modified("the catalog's /AcroForm is not a dictionary")
            return
        self.judge_form(old_form, new_form)

    def judge_form(self, before, after):
        for key in self.differing_keys(before, after):
            if key not in _FORM_KEYS:
                self.modified("the form's %s changed" % key)
            elif key == "/Fields":
                self.judge_appended("the form's /Fields", self.before.resolve(before.get(key)) or [],
                                    self.after.resolve(after.get(key)) or [])

    def judge_page(self, ref, before, after):
        for key in self.differing_keys(before, after):
            if key != "/Annots":
                self.modified("page %s: its %s changed" % (_label(ref, before), key))
                continue
            self.judge_appended("the /Annots of page %s" % _label(ref, before),
                                self.before.resolve(before.get(key)) or [],
                                self.after.resolve(after.get(key)) or [])

    def judge_field_signing(self, ref, before, after):
        for key in self.differing_keys(before, after):
            if key not in _FIELD_SIGNING_KEYS:
                self.modified("signature field %s: its %s changed" % (_label(ref, before), key))
        if "/V" in after:
            self.describe_new(self.after.resolve(after["/V"]))

    def judge_appended(self, what, before, after):
        if not isinstance(before, list) or not isinstance(after, list):
            self.modified("%s is not an array" % what)
            return
        if after[:len(before)] != before:
            self.modified("%s lost or reordered entries" % what)
            return
        for item in after[len(before):]:
            ref = reference(item)
            value = self.after.object(ref) if ref is not None else None
            if ref not in self.added or not self.is_signature_part(value):
                self.modified("%s gained %s, which is not a new signature field" % (what, item))
            elif "/V" not in value:
                self.note("empty signature field")

    def is_signature_part(self, value):
        """A signature field, or the widget of one."""
        if not isinstance(value, dict):
            return False
        if value.get("/FT") == "/Sig":
            return True
        parent = self.after.resolve(value.get("/Parent"))
        return value.get("/Subtype") == "/Widget" and isinstance(parent, dict) and parent.get("/FT") == "/Sig"
