"""Which changes may follow a signature.

The document is judged as a viewer sees it: every object that the signed
revision or the final one reaches from its trailer, resolved under the same
rules in both (the engine's graph comparison). Each object that differs must
be accounted for by one of the permitted changes of ``change_policy``,
checked by its structure; whatever is left is a modification, described in
terms of the page or form it touches.
"""

from __future__ import annotations

from typing import (AbstractSet, Any, Dict, FrozenSet, Iterator, List, Optional, Sequence, Set, Tuple,
                    Union)

from asn1crypto import crl, ocsp, x509

from ..CorvaneSign.corvane_signature.exceptions import PdfReadError
from .. import _pdfengine
from . import change_policy as policy
from .containers import ContainerError, check_signature, check_token, load_container
from .pdf_values import reference, text
from .revisions import GraphDifference, Ref, RevisionHistory, RevisionState

__all__ = ["LaterRevisions", "judge_later_revisions", "certification_level"]

_NOTHING = b"\0\t\n\f\r "
_TRAILER = (0, 0)
_FORM_KEYS_ADDED = {"/DA": policy.FORM_DEFAULTS, "/DR": policy.FORM_DEFAULTS}
_DSS_KEYS = {"/Type", "/Certs", "/OCSPs", "/CRLs", "/VRI"}
# What a stream in each validation-data array must parse as.
_DSS_STREAMS = {"/Certs": x509.Certificate, "/Cert": x509.Certificate, "/OCSPs": ocsp.OCSPResponse,
                "/OCSP": ocsp.OCSPResponse, "/CRLs": crl.CertificateList, "/CRL": crl.CertificateList}
# Field keys that signing an empty field, or filling a form field, may set.
_VALUE_KEYS = {"/V"}
# Signing or filling a field redraws its widgets: appearance, state, look, flags.
_APPEARANCE_KEYS = {"/AP", "/AS", "/MK", "/DA", "/F"}
# A bare field (no widget of its own) becomes its own widget when it is signed.
_WIDGET_KEYS = {"/Type", "/Subtype", "/Rect", "/F", "/P"}
_HIDDEN = 2 | 32  # annotation flags Hidden and NoView
# Actions run when a reader opens or touches a field: not part of a signature.
_ACTION_KEYS = ("/A", "/AA")

# A lock of the signed revision: a field name, or (action, names) for /All and /Exclude.
_Lock = Union[Optional[str], Tuple[str, FrozenSet[Optional[str]]]]


class LaterRevisions:
    """What the revisions after a signature did: allowed additions and modifications."""

    def __init__(self) -> None:
        self.added: List[str] = []
        self.modifications: List[str] = []

    @property
    def allowed(self) -> bool:
        return not self.modifications


def judge_later_revisions(history: RevisionHistory, signed_index: int) -> LaterRevisions:
    """Judges the final document against revision ``signed_index`` of ``history``."""
    result = LaterRevisions()
    if signed_index < len(history) - 1:
        try:
            _Judge(history, signed_index, result).run()
        except PdfReadError as error:
            # What cannot be read cannot be shown to be harmless.
            result.modifications.append("the revisions after signing cannot be read: %s" % error)
    start = history.trailing_start()
    if any(bytes(chunk).strip(_NOTHING) for chunk in history.chunks(start, history.size)):
        result.modifications.append("%d bytes after the end of the last revision belong to no revision"
                                    % (history.size - start))
    return result


def certification_level(history: RevisionHistory, signed_index: int, contents: bytes) -> Optional[int]:
    """The DocMDP level (1-3) when the signature with ``contents``, signed in
    revision ``signed_index``, is the certification that revision's catalog
    names; None for an approval signature."""
    state = history.state(signed_index)
    perms = state.resolve(state.catalog.get("/Perms"))
    value = state.resolve(perms.get("/DocMDP")) if isinstance(perms, dict) else None
    if not isinstance(value, dict) or _string_bytes(value.get("/Contents")) != contents:
        return None
    level = _transform_level(state, value, "/DocMDP")
    return 2 if level is None else level


def _transform_level(state: RevisionState, signature: Any, method: str) -> Optional[int]:
    """The /P of the ``method`` transform of ``signature``: 2 when absent, 1 when not 1-3."""
    for item in state.resolve(_dictionary(signature).get("/Reference")) or []:
        item = state.resolve(item)
        if isinstance(item, dict) and item.get("/TransformMethod") == method:
            params = state.resolve(item.get("/TransformParams"))
            level: int = params.get("/P", 2) if isinstance(params, dict) else 2
            return level if level in (1, 2, 3) else 1
    return None


def _is_stream(value: Any) -> bool:
    return isinstance(value, dict) and set(value) == {"dict"}


def _dictionary(value: Any) -> Dict[str, Any]:
    if _is_stream(value):
        inner: Dict[str, Any] = value["dict"]
        return inner
    return value if isinstance(value, dict) else {}


def _kind(value: Any) -> str:
    if _is_stream(value):
        subtype = value["dict"].get("/Subtype")
        return "a %s stream" % subtype[1:] if isinstance(subtype, str) else "a stream"
    if isinstance(value, dict):
        keys = ("/Subtype", "/Type") if value.get("/Type") == "/Annot" else ("/Type", "/Subtype")
        for key in keys:
            if isinstance(value.get(key), str):
                return "a %s dictionary" % value[key][1:]
        return "a dictionary"
    if isinstance(value, list):
        return "an array"
    return "a value"


def _name(ref: Ref) -> str:
    return "object %d %d" % ref


def _string_bytes(value: Any) -> Optional[bytes]:
    if isinstance(value, str) and value.startswith("b:"):
        try:
            return bytes.fromhex(value[2:])
        except ValueError:
            return None
    return None


def _differing_keys(before: Dict[str, Any], after: Dict[str, Any]) -> List[str]:
    return sorted(key for key in set(before) | set(after) if before.get(key) != after.get(key))


class _Judge:
    def __init__(self, history: RevisionHistory, signed_index: int, result: LaterRevisions) -> None:
        self.history = history
        self.signed_index = signed_index
        self.result = result
        self.signed = history.state(signed_index)
        self.final = history.final
        self.differences = {difference.ref: difference for difference in history.differences(signed_index)}
        self.accounted: Set[Ref] = set()
        self.level = self.docmdp_level()
        self.locked = self.locked_fields()
        self._pages: Optional[Dict[Ref, int]] = None
        self._verified: Dict[Optional[Ref], bool] = {}

    # -- outcome ----------------------------------------------------------------

    def modified(self, text_: str) -> None:
        if text_ not in self.result.modifications:
            self.result.modifications.append(text_)

    def permit(self, change: str, description: str) -> bool:
        """Records ``description`` when ``change`` is permitted here, else a modification."""
        if policy.permitted(change, self.level):
            if description not in self.result.added:
                self.result.added.append(description)
            return True
        why = "the certification forbids it" if self.level is not None else "only a certification could permit it"
        self.modified("%s (%s)" % (description, why))
        return False

    def account(self, ref: Optional[Ref]) -> None:
        if ref is not None:
            self.accounted.add(ref)

    def difference(self, ref: Optional[Ref]) -> Optional[GraphDifference]:
        return self.differences.get(ref) if ref is not None else None

    def is_new(self, ref: Optional[Ref]) -> bool:
        """Whether the signed revision did not reach ``ref``."""
        difference = self.difference(ref)
        return difference is not None and not difference.earlier.content

    def run(self) -> None:
        self.judge_trailer()
        self.judge_catalog()
        self.judge_validation_data()
        self.judge_fields()
        self.judge_pages()
        self.judge_rest()

    # -- what governs the changes -----------------------------------------------

    def docmdp_level(self) -> Optional[int]:
        """The DocMDP level of the certification the signed revision carries, or None."""
        perms = self.signed.resolve(self.signed.catalog.get("/Perms"))
        if not isinstance(perms, dict) or "/DocMDP" not in perms:
            return None
        value = self.signed.resolve(perms["/DocMDP"])
        level = _transform_level(self.signed, value, "/DocMDP")
        return 2 if level is None else level

    def locked_fields(self) -> Set[_Lock]:
        """What signatures of the signed revision lock: field names, and (action, names) pairs
        for locks of every field (/All) or of all fields but some (/Exclude)."""
        locked: Set[_Lock] = set()
        for node, name in self.walk_fields(self.signed):
            value = self.signed.resolve(node.get("/V"))
            if not isinstance(value, dict):
                continue
            locks = [self.signed.resolve(node.get("/Lock"))] if "/Lock" in node else []
            for item in self.signed.resolve(value.get("/Reference")) or []:
                item = self.signed.resolve(item)
                if isinstance(item, dict) and item.get("/TransformMethod") == "/FieldMDP":
                    locks.append(self.signed.resolve(item.get("/TransformParams")))
            for params in locks:
                params = params if isinstance(params, dict) else {}
                if params.get("/P") in (1, 2, 3):
                    self.level = min(self.level or 3, params["/P"])
                listed = self.signed.resolve(params.get("/Fields"))
                names = {text(self.signed.resolve(entry)) for entry in listed} if isinstance(listed, list) else set()
                action = params.get("/Action", "/All")
                if action == "/Include":
                    locked |= names
                else:
                    locked.add((action, frozenset(names)))
        return locked

    def is_locked(self, name: str) -> bool:
        for entry in self.locked:
            if entry == name:
                return True
            if isinstance(entry, tuple):
                action, names = entry
                if action == "/All" or (action == "/Exclude" and name not in names):
                    return True
        return False

    # -- trailer, catalog, form -------------------------------------------------

    def judge_trailer(self) -> None:
        before, after = self.signed.trailer, self.final.trailer
        for key in ("/Root", "/Encrypt"):
            if before.get(key) != after.get(key):
                self.modified("the trailer names another %s" % ("catalog" if key == "/Root" else "encryption"))
        info = reference(after.get("/Info"))
        difference = self.difference(info)
        if before.get("/Info") != after.get("/Info") or difference is not None:
            if difference is not None and not self.only_referred_by(difference, {_TRAILER}):
                self.modified("the document information dictionary, also used elsewhere, changed")
            elif isinstance(self.final.resolve(after.get("/Info")), dict):
                self.permit(policy.METADATA, "document information updated")
            self.account(info)

    def only_referred_by(self, difference: GraphDifference, parents: AbstractSet[Optional[Ref]]) -> bool:
        return all((number, generation) in parents
                   for reach in (difference.earlier, difference.later)
                   for number, generation, _path in reach.referrers)

    def judge_catalog(self) -> None:
        root = self.final.root_ref
        difference = self.difference(root)
        before, after = self.signed.catalog, self.final.catalog
        if difference is not None:
            self.account(root)
            for key in _differing_keys(before, after):
                if key == "/Metadata":
                    self.judge_metadata(after.get(key))
                elif key not in ("/DSS", "/Extensions", "/AcroForm"):  # judged on their own
                    self.modified("the catalog's %s changed" % key)
        metadata = reference(after.get("/Metadata"))
        if metadata not in self.accounted and self.difference(metadata) is not None:
            self.judge_metadata(after.get("/Metadata"))
        self.judge_form(before.get("/AcroForm"), after.get("/AcroForm"))

    def judge_metadata(self, value: Any) -> None:
        ref = reference(value)
        difference = self.difference(ref)
        stream = self.final.resolve(value)
        if not _is_stream(stream) or stream["dict"].get("/Type") != "/Metadata":
            self.modified("the catalog's /Metadata changed to something that is not metadata")
        elif difference is not None and not self.only_referred_by(difference, {self.final.root_ref}):
            self.modified("the document's metadata stream, also used elsewhere, changed")
        else:
            self.permit(policy.METADATA, "metadata updated")
        self.account(ref)

    def judge_form(self, old_value: Any, new_value: Any) -> None:
        old_ref, new_ref = reference(old_value), reference(new_value)
        difference = self.difference(new_ref)
        if new_value is None and old_value is None:
            return
        self.account(new_ref)
        if difference is not None and not self.only_referred_by(difference, {self.final.root_ref}):
            self.modified("the form dictionary, also used elsewhere, changed")
        before = self.signed.resolve(old_value) if old_value is not None else {}
        after = self.final.resolve(new_value)
        if not isinstance(after, dict) or not isinstance(before, dict):
            self.modified("the catalog's /AcroForm is no longer a form dictionary")
            return
        if old_ref is not None and new_ref != old_ref and self.difference(new_ref) is None:
            self.modified("the catalog's /AcroForm now names another existing object")
        for key in _differing_keys(before, after):
            if key == "/SigFlags":
                continue
            if key == "/Fields":
                self.judge_fields_array(before.get(key), after.get(key))
            elif key in _FORM_KEYS_ADDED and key not in before:
                self.permit(_FORM_KEYS_ADDED[key], "the form's %s added" % key)
                self.claim(after.get(key))
            elif key == "/DR" and self.only_adds(before[key], after[key]):
                self.permit(policy.FORM_DEFAULTS, "the form's /DR extended")
            elif key == "/NeedAppearances":
                self.permit(policy.FORM_FILLING, "the form's appearances to be generated again")
            else:
                self.modified("the form's %s changed" % key)
        fields = reference(after.get("/Fields"))
        if before.get("/Fields") == after.get("/Fields") and self.difference(fields) is not None:
            self.judge_fields_array(before["/Fields"], after["/Fields"])
        if "/DR" in before and before["/DR"] == after.get("/DR"):
            # The same resources, perhaps with objects of theirs written again.
            if not self.only_adds(before["/DR"], after["/DR"]):
                self.modified("the form's /DR changed")

    def only_adds(self, old_value: Any, new_value: Any) -> bool:
        """Whether ``new_value`` is the dictionary ``old_value`` with entries added (at any depth)."""
        before, after = self.signed.resolve(old_value), self.final.resolve(new_value)
        if not isinstance(before, dict) or not isinstance(after, dict):
            return False
        if reference(new_value) is not None and reference(new_value) == reference(old_value):
            self.account(reference(new_value))
        for key, value in after.items():
            if key not in before:
                self.claim(value)
            elif (value != before[key] or self.difference(reference(value)) is not None) \
                    and not self.only_adds(before[key], value):
                return False
        return set(before) <= set(after)

    def judge_fields_array(self, old_value: Any, new_value: Any) -> None:
        before = self.signed.resolve(old_value) or []
        after = self.final.resolve(new_value) or []
        self.account(reference(new_value))
        if not isinstance(before, list) or not isinstance(after, list):
            self.modified("the form's /Fields is not an array")
        elif after[:len(before)] != before:
            self.modified("the form's /Fields lost or reordered fields")

    # -- fields --------------------------------------------------------------------

    def walk_fields(self, state: RevisionState) -> Iterator[Tuple[Dict[str, Any], str]]:
        """(field dictionary, full name) of every field and widget of ``state``'s form."""
        fields = state.resolve(_dictionary(state.resolve(state.catalog.get("/AcroForm"))).get("/Fields"))
        pending: List[Tuple[Any, str, Any]] = \
            [(item, "", None) for item in reversed(fields)] if isinstance(fields, list) else []
        seen: Set[Ref] = set()
        while pending:
            item, prefix, field_type = pending.pop()
            ref = reference(item)
            if ref in seen:
                continue
            if ref is not None:
                seen.add(ref)
            node = state.resolve(item)
            if not isinstance(node, dict):
                continue
            partial = text(node.get("/T"))
            name = prefix if partial is None else (prefix + "." + partial if prefix else partial)
            field_type = node.get("/FT", field_type)
            node = dict(node, **{"#ref": ref, "#type": field_type})
            yield node, name
            kids = state.resolve(node.get("/Kids"))
            if isinstance(kids, list):
                pending.extend((kid, name, field_type) for kid in reversed(kids))

    def judge_fields(self) -> None:
        nodes = list(self.walk_fields(self.final))
        by_ref = {node["#ref"]: (node, name) for node, name in nodes if node["#ref"] is not None}
        for node, name in nodes:
            ref = node["#ref"]
            difference = self.difference(ref)
            if difference is None or difference.same and difference.earlier.content:
                continue
            self.account(ref)
            parent = by_ref.get(reference(node.get("/Parent")))
            # A widget without a name of its own belongs to its parent field.
            field, field_name = parent if parent is not None and "/T" not in node else (node, name)
            if not difference.earlier.content:
                if field is node:
                    self.judge_new_field(node, name)
                elif self.is_new(field["#ref"]):
                    pass  # a widget of a new field, judged with it
                elif self.judge_new_widget(node, field, field_name):
                    self.claim_field(node)
            else:
                self.judge_changed_field(node, field, field_name, _dictionary(difference.before))

    def judge_new_field(self, node: Dict[str, Any], name: str) -> None:
        if node["#type"] != "/Sig":
            self.modified("form field %s added (%s)" % (name, (node["#type"] or "/none")[1:]))
            return
        widgets = [node] if "/Subtype" in node else []
        widgets += [self.final.resolve(kid) for kid in self.final.resolve(node.get("/Kids")) or []]
        for widget in widgets:
            if not isinstance(widget, dict) or widget.get("/Subtype") != "/Widget":
                self.modified("signature field %s has a part that is not a widget (%s)"
                              % (name, _kind(widget)))
                return
        if any(key in part for part in [node] + widgets for key in _ACTION_KEYS):
            self.modified("signature field %s added with actions" % name)
            return
        value = self.final.resolve(node.get("/V"))
        if any(self.visible(widget) for widget in widgets) and not self.signature_verifies(node.get("/V"), name):
            self.modified("signature field %s added with a visible appearance but no valid signature" % name)
            return
        self.claim_field(node)
        for widget in widgets:
            self.claim_field(widget)
        if isinstance(value, dict) and value.get("/Type") == "/DocTimeStamp":
            self.permit(policy.DOCUMENT_TIMESTAMP, "document timestamp")
        elif isinstance(value, dict):
            self.permit(policy.SIGNATURE_FIELD, "signature")
        else:
            self.permit(policy.SIGNATURE_FIELD, "empty signature field")

    def judge_new_widget(self, node: Dict[str, Any], field: Dict[str, Any], name: str) -> bool:
        """A widget added to an existing field: only when that field is signed or filled now."""
        if node.get("/Subtype") != "/Widget" or "/V" in node or "/FT" in node:
            self.modified("field %s gained a part that is not a widget (%s)" % (name, _kind(node)))
            return False
        if not self.field_change(field, name):
            self.modified("field %s gained a widget without being signed or filled" % name)
            return False
        return True

    def judge_changed_field(self, node: Dict[str, Any], field: Dict[str, Any], name: str,
                            before: Dict[str, Any]) -> None:
        after = {key: value for key, value in node.items() if not key.startswith("#")}
        changed = set(_differing_keys(before, after))
        is_widget = after.get("/Subtype") == "/Widget" or before.get("/Subtype") == "/Widget"
        allowed = set(_VALUE_KEYS) | {"/Kids"} | (_APPEARANCE_KEYS if is_widget else set())
        if "/Subtype" not in before and node["#type"] == "/Sig":
            allowed |= _WIDGET_KEYS
        extra = sorted(changed - allowed)
        what = "signature field" if node["#type"] == "/Sig" else "form field"
        if extra:
            self.modified("%s %s: its %s changed" % (what, name, ", ".join(extra)))
        elif not self.field_change(field, name):
            self.modified("%s %s: its %s changed without being signed or filled" % (what, name,
                                                                                  ", ".join(sorted(changed))))
        else:
            self.claim_field(node)

    def field_change(self, field: Dict[str, Any], name: str) -> bool:
        """Accounts for a change to ``field``: signing it (it was empty) or filling it, where permitted.

        False when the change is neither.
        """
        if self.is_locked(name):
            self.modified("field %s is locked by an earlier signature, yet changed" % name)
            return True
        signed_field = self.signed.object(field["#ref"]) if field["#ref"] is not None else None
        if field["#type"] != "/Sig":
            self.permit(policy.FORM_FILLING, "form field %s filled" % name)
            return True
        value = self.final.resolve(field.get("/V"))
        if not isinstance(value, dict) or isinstance(signed_field, dict) and "/V" in signed_field:
            return False
        widgets = [field] + [self.final.resolve(kid) for kid in self.final.resolve(field.get("/Kids")) or []]
        if any(self.visible(widget) for widget in widgets) and not self.signature_verifies(field.get("/V"), name):
            self.modified("signature field %s signed with a visible appearance but no valid signature" % name)
            return True
        self.claim(field.get("/V"))
        if value.get("/Type") == "/DocTimeStamp":
            self.permit(policy.DOCUMENT_TIMESTAMP, "document timestamp")
        else:
            self.permit(policy.SIGNING, "signature in the field %s" % name)
        return True

    def visible(self, widget: Any) -> bool:
        """Whether a widget shows something: an appearance, an area, not hidden."""
        if not isinstance(widget, dict) or "/AP" not in widget:
            return False
        flags = widget.get("/F", 0)
        if isinstance(flags, int) and flags & _HIDDEN:
            return False
        rect = self.final.resolve(widget.get("/Rect"))
        if not (isinstance(rect, list) and len(rect) == 4 and all(isinstance(v, (int, float)) for v in rect)):
            return True
        return bool(abs(rect[2] - rect[0]) > 0 and abs(rect[3] - rect[1]) > 0)

    def signature_verifies(self, value_ref: Any, name: str) -> bool:
        """Whether the signature value covers a revision after the signed one, which holds it, and verifies."""
        ref = reference(value_ref)
        if ref in self._verified:
            return self._verified[ref]
        value = self.final.resolve(value_ref)
        verdict = False
        if isinstance(value, dict):
            contents = _string_bytes(value.get("/Contents"))
            byte_range = value.get("/ByteRange")
            if contents and isinstance(byte_range, list) and len(byte_range) == 4 \
                    and all(isinstance(item, int) and item >= 0 for item in byte_range):
                index = self.history.index_ending_at(byte_range[2] + byte_range[3])
                held = index is not None and index > self.signed_index and any(
                    record.field == name and record.contents == contents
                    for record in self.history.state(index).signatures())
                if held:
                    verdict = self.container_verifies(value, contents, byte_range)
        self._verified[ref] = verdict
        return verdict

    def container_verifies(self, value: Dict[str, Any], contents: bytes, byte_range: Sequence[int]) -> bool:
        covered = self.history.covered(byte_range)
        if value.get("/Type") == "/DocTimeStamp":
            try:
                token = load_container(contents)
            except ContainerError:
                return False
            return check_token(token, covered.digest,
                               "the document timestamp").valid
        check = check_signature(contents, covered)
        return check.digest_valid and check.signature_valid

    def claim_field(self, node: Dict[str, Any]) -> None:
        """Accounts for the new objects a permitted field brings (widgets, appearances, value)."""
        for key, item in node.items():
            if key not in ("/Parent", "/P", "#ref", "#type"):
                self.claim(item)

    def claim(self, value: Any) -> None:
        """Accounts for every object reached from ``value`` that the signed revision did not reach."""
        pending = [value]
        while pending:
            item = pending.pop()
            ref = reference(item)
            if ref is not None:
                difference = self.difference(ref)
                if difference is None or difference.earlier.content or ref in self.accounted:
                    continue
                self.accounted.add(ref)
                item = difference.after
            if isinstance(item, dict):
                pending.extend(value for key, value in _dictionary(item).items() if key not in ("/Parent", "/P"))
            elif isinstance(item, list):
                pending.extend(item)

    # -- pages ---------------------------------------------------------------------------

    def pages(self) -> Dict[Ref, int]:
        """{page reference: page number} of the final document, then of the signed one."""
        if self._pages is None:
            self._pages = {}
            for state in (self.final, self.signed):
                number = 0
                pending = [state.catalog.get("/Pages")]
                seen = set()
                while pending:
                    item = pending.pop()
                    ref = reference(item)
                    if ref is None or ref in seen:
                        continue
                    seen.add(ref)
                    node = state.object(ref)
                    if not isinstance(node, dict):
                        continue
                    kids = state.resolve(node.get("/Kids"))
                    if node.get("/Type") == "/Pages" or isinstance(kids, list) and "/Contents" not in node:
                        pending.extend(reversed(kids if isinstance(kids, list) else []))
                    else:
                        number += 1
                        self._pages.setdefault(ref, number)
        return self._pages

    def page_label(self, ref: Ref) -> str:
        """"page N", found only when a text needs it: numbering walks the whole page tree."""
        return "page %d" % self.pages().get(ref, 0)

    def judge_pages(self) -> None:
        for ref, difference in self.differences.items():
            after = difference.after
            if not difference.earlier.content or not isinstance(after, dict) or after.get("/Type") != "/Page" \
                    or difference.same or not isinstance(difference.before, dict):
                continue
            self.account(ref)
            for key in _differing_keys(difference.before, after):
                if key == "/Annots":
                    self.judge_annotations(ref, difference.before.get(key), after.get(key))
                else:
                    self.modified("%s: its %s changed" % (self.page_label(ref), key))
        for ref, difference in self.differences.items():
            for number, generation, path in difference.later.referrers:
                page_ref = (number, generation)
                if path == "/Annots" and ref not in self.accounted and not difference.same \
                        and self.difference(page_ref) is None \
                        and _dictionary(self.final.object(page_ref)).get("/Type") == "/Page":
                    self.account(ref)
                    self.judge_annotations(page_ref, difference.before, difference.after)

    def judge_annotations(self, page_ref: Ref, old_value: Any, new_value: Any) -> None:
        before = self.signed.resolve(old_value) or []
        after = self.final.resolve(new_value) or []
        self.account(reference(new_value))
        if not isinstance(before, list) or not isinstance(after, list):
            self.modified("%s: its annotations are not an array" % self.page_label(page_ref))
            return
        if after[:len(before)] != before:
            self.modified("%s: annotations removed or reordered" % self.page_label(page_ref))
            return
        for item in after[len(before):]:
            ref = reference(item)
            annotation = self.final.resolve(item)
            subtype = _dictionary(annotation).get("/Subtype")
            label = (subtype or "/unknown")[1:] if isinstance(subtype, str) else "unknown"
            if ref is not None and ref in self.accounted and subtype == "/Widget":
                continue  # the widget of a permitted signature field
            difference = self.difference(ref)
            page = self.page_label(page_ref)
            if ref is None or difference is None or difference.earlier.content:
                self.modified("%s: an existing object was added as an annotation (%s)" % (page, label))
            elif subtype == "/Widget":
                self.modified("%s: a widget that belongs to no permitted field was added" % page)
            elif self.permit(policy.ANNOTATION, "annotation added on %s (%s)" % (page, label)):
                self.claim(item)

    # -- validation data ------------------------------------------------------------------

    def judge_validation_data(self) -> None:
        catalog = self.final.catalog
        noted = False
        for ref, difference in self.differences.items():
            if not difference.later.validation_data:
                continue
            self.account(ref)
            what = self.dss_role(difference)
            if difference.later.content:
                self.modified("validation data (DSS) takes in %s (%s), which is document content"
                              % (_name(ref), _kind(difference.after)))
            elif not difference.earlier.validation_data and difference.before is not None:
                self.modified("validation data (DSS) takes in %s (%s), which the signed revision already held"
                              % (_name(ref), _kind(difference.before)))
            elif what is not None and difference.after is not None and not self.parses_as(ref, what):
                self.modified("validation data (DSS) holds %s, which is not %s" % (_name(ref), what.__name__))
            else:
                noted = True
        if noted or catalog.get("/DSS") != self.signed.catalog.get("/DSS"):
            dss = self.final.resolve(catalog.get("/DSS"))
            if "/DSS" in catalog and (not isinstance(dss, dict) or set(dss) - _DSS_KEYS):
                self.modified("the catalog's /DSS is not a validation data dictionary")
            self.permit(policy.VALIDATION_DATA, "validation data (DSS)")
        if catalog.get("/Extensions") != self.signed.catalog.get("/Extensions"):
            extensions = self.final.resolve(catalog.get("/Extensions"))
            if not isinstance(extensions, dict):
                self.modified("the catalog's /Extensions changed")

    @staticmethod
    def dss_role(difference: GraphDifference) -> Any:
        """What a validation-data stream must parse as, from the array it sits in; None when not a stream."""
        if not _is_stream(difference.after):
            return None
        for _number, _generation, path in difference.later.referrers:
            key = path.split("[")[0].rsplit("/", 1)[-1]
            if "/" + key in _DSS_STREAMS:
                return _DSS_STREAMS["/" + key]
            if path.endswith("/TS"):
                return None
        return bytes  # a stream in the DSS that belongs to no known array

    def parses_as(self, ref: Ref, what: Any) -> bool:
        if what is bytes:
            return False
        try:
            what.load(_pdfengine.stream_data(self.final.document, *ref)).native
            return True
        except (ValueError, TypeError, KeyError, PdfReadError):  # not what it claims to be
            return False

    # -- everything else -----------------------------------------------------------------------

    def judge_rest(self) -> None:
        for ref, difference in sorted(self.differences.items()):
            if ref in self.accounted or difference.same:
                continue  # only reached differently: the objects that refer to it are judged
            if not difference.later.content:
                continue  # no longer used by the document, or validation data, judged above
            if self.is_markup_annotation(difference):
                where, _path = self.used_by(difference)
                subtype = _dictionary(difference.after).get("/Subtype", "/unknown")
                if self.permit(policy.ANNOTATION, "%sannotation changed (%s)" % (where, str(subtype)[1:])):
                    self.claim(difference.after)
                continue
            if not difference.earlier.content and all(
                    self.difference((number, generation)) is not None
                    for number, generation, _path in difference.later.referrers):
                continue  # a new object that only changed objects use: reported with them
            self.modified(self.describe(ref, difference))

    @staticmethod
    def is_markup_annotation(difference: GraphDifference) -> bool:
        before, after = difference.before, difference.after
        return bool(isinstance(before, dict) and isinstance(after, dict) and before.get("/Type") == "/Annot"
                    and before.get("/Subtype") == after.get("/Subtype") not in (None, "/Widget")
                    and not difference.generation_conflict)

    def describe(self, ref: Ref, difference: GraphDifference) -> str:
        where, path = self.used_by(difference)
        if difference.generation_conflict:
            return "%s%s: a later revision defines object %d with another generation" % (where, _name(ref), ref[0])
        if difference.before is None and difference.earlier.content:
            return "%s%s, which the signed document referred to without defining it, was defined later" % (
                where, _name(ref))
        if difference.after is None:
            return "%s%s (%s) was removed or can no longer be read" % (where, _name(ref), _kind(difference.before))
        if difference.before is None:
            return "%s%s (%s) was added" % (where, _name(ref), _kind(difference.after))
        if where and path.startswith("/Contents"):
            return "%scontent stream replaced" % where
        return "%s%s (%s) changed" % (where, _name(ref), _kind(difference.before))

    def used_by(self, difference: GraphDifference) -> Tuple[str, str]:
        """("page N: ", key path) when a page uses the object directly, else ("", "")."""
        for reach in (difference.earlier, difference.later):
            for number, generation, path in reach.referrers:
                page = self.pages().get((number, generation))
                if page is not None:
                    return "page %d: " % page, path
        return "", ""
