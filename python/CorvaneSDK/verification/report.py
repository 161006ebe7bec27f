"""The verification report of a signed PDF document.

For every signature and document timestamp: where it is, what it covers,
what came after it, whether its container and timestamps verify, which
certificate path and revocation data back it, the PAdES baseline level
reached, and the verdict (TOTAL-PASSED, TOTAL-FAILED or INDETERMINATE with
a sub-indication, see ``verdicts``).  Certificates are validated at the best
proof of existence: the signature timestamp's time, else a later document
timestamp's, else now.  The report is plain data, ready for JSON.
"""

from __future__ import annotations

import datetime
import string
from typing import Any, BinaryIO, Callable, Dict, Iterable, List, Optional, Sequence, Tuple, Union

from ..CorvaneSign.corvane_certvalidator.registry import as_certificate
from .. import _pdfengine
from ..CorvaneSign.corvane_signature.pdf_utils.file_input import FileInput, regular_file_descriptor
from .containers import ContainerError, check_signature, check_token, load_container
from .later_changes import certification_level, judge_later_revisions
from .names import common_name, subject_text
from .pdf_values import pdf_date, text
from .revisions import RevisionHistory
from ..CorvaneSign.corvane_certvalidator.path_policy import SIGNER, TIMESTAMPING
from .validation_material import DssContents, PathResult, RevocationResult, check_revocation, read_dss, validate
from .verdicts import TOTAL_FAILED, TOTAL_PASSED, Finding, overall, verdict

__all__ = ["NoSignaturesError", "verify_pdf", "PADES_SUBFILTER"]

PADES_SUBFILTER = "/ETSI.CAdES.detached"
DOCUMENT_TIMESTAMP = "document timestamp"
SIGNATURE = "signature"


class NoSignaturesError(ValueError):
    """The document carries no signature and no document timestamp."""


# What the engine reports of a signature: field name, /Type, /SubFilter, /ByteRange, /Contents.
_SignatureRecord = Tuple[str, Optional[str], Optional[str], Tuple[int, ...], bytes]


def _iso(moment: Optional[datetime.datetime]) -> Optional[str]:
    return moment.isoformat() if moment is not None else None


def _utc_now() -> datetime.datetime:
    return datetime.datetime.now(datetime.timezone.utc)


def _source(data: Union[bytes, bytearray, memoryview, BinaryIO]) -> Union[bytes, FileInput]:
    if isinstance(data, (bytes, bytearray, memoryview)):
        return bytes(data)
    descriptor = regular_file_descriptor(data)
    if descriptor is not None:
        return FileInput(descriptor)
    return bytes(data.read())


# What may separate the hex digits of a /Contents string.
_WHITESPACE = string.whitespace.encode("ascii")


def _gap_holds(history: RevisionHistory, start: int, end: int, contents: bytes) -> bool:
    """Whether the bytes from ``start`` to ``end`` are exactly the hex string <...> of ``contents``
    (whitespace allowed between digits); read in chunks, stopping at the first surplus digit."""
    expected = contents.hex().encode("ascii")
    gap = bytearray()  # without whitespace
    last = b""
    for chunk in history.chunks(start, end):
        if not gap and bytes(chunk[:1]) != b"<":
            return False
        last = bytes(chunk[-1:])
        gap += bytes(chunk).translate(None, _WHITESPACE).lower()
        if len(gap) > len(expected) + 2:  # the brackets count as two
            return False
    return last == b">" and bytes(gap[1:-1]) == expected


class _Entry:
    """One signature or document timestamp being verified."""

    def __init__(self, history: RevisionHistory, record: _SignatureRecord, value: Dict[str, Any]) -> None:
        self.history = history
        self.field, kind, subfilter, byte_range, self.contents = record
        self.byte_range = tuple(byte_range)
        self.value = value
        self.kind = DOCUMENT_TIMESTAMP if kind == "/DocTimeStamp" else SIGNATURE
        self.report: Dict[str, Any] = {
            "field": self.field,
            "type": self.kind,
            "subfilter": subfilter,
            "reason": text(value.get("/Reason")),
            "revision": None,
            "signer": None,
            "signing_time": _iso(pdf_date(value.get("/M"))),
            "timestamp_time": None,
            "validation_time": None,
            "byte_range": list(self.byte_range),
            "covers_revision": False,
            "covers_whole_file": False,
            "later_revisions": {"allowed": False, "added": [], "modifications": []},
            "certification": None,
            "digest_valid": False,
            "signature_valid": False,
            "certificate_chain": [],
            "trusted_root": None,
            "revocation": None,
            "timestamp": None,
            "pades_level": None,
            "indication": None,
            "sub_indication": None,
            "valid": False,
            "problems": [],
            "notes": [],
        }
        self.findings: List[Finding] = []
        self.signed_index: Optional[int] = None
        self.time: Optional[datetime.datetime] = None

    def fail(self, sub_indication: str, message: Optional[str]) -> None:
        """Something that keeps the signature from passing; ``sub_indication`` says how badly."""
        self.findings.append(Finding(sub_indication, message))
        if message and message not in self.report["problems"]:
            self.report["problems"].append(message)

    def note(self, message: str) -> None:
        """Something worth knowing that does not change the verdict."""
        if message and message not in self.report["notes"]:
            self.report["notes"].append(message)

    @property
    def failed(self) -> bool:
        return any(finding.indication == TOTAL_FAILED for finding in self.findings)

    def conclude(self) -> None:
        indication, sub_indication = verdict(self.findings)
        self.report["indication"] = indication
        self.report["sub_indication"] = sub_indication
        self.report["valid"] = indication == TOTAL_PASSED

    # -- where the signature sits -------------------------------------------

    def check_placement(self) -> None:
        byte_range = self.byte_range
        if not (len(byte_range) == 4 and byte_range[0] == 0 and 0 < byte_range[1] < byte_range[2]
                and byte_range[3] >= 0 and byte_range[2] + byte_range[3] <= self.history.size):
            self.fail("FORMAT_FAILURE", "the byte range %s is not [0, start of /Contents, end of /Contents, "
                      "rest] within the file" % (list(byte_range),))
            return
        end = byte_range[2] + byte_range[3]
        gap_holds_contents = _gap_holds(self.history, byte_range[1], byte_range[2], self.contents)
        if not gap_holds_contents:
            self.fail("FORMAT_FAILURE", "the bytes that the byte range leaves out are not exactly the "
                      "signature's /Contents")
        index = self.history.index_ending_at(end)
        if index is None:
            self.fail("FORMAT_FAILURE", "the byte range ends at offset %d, which is not the end of a revision"
                      % end)
            return
        self.report["revision"] = index + 1
        held = any(record.field == self.field and record.contents == self.contents
                   for record in self.history.state(index).signatures())
        if not held:
            self.fail("FORMAT_FAILURE", "revision %d, where the byte range ends, does not hold this signature"
                      % (index + 1))
        self.report["covers_revision"] = gap_holds_contents and held
        self.report["covers_whole_file"] = self.report["covers_revision"] and end == self.history.size
        self.signed_index = index
        if self.kind == SIGNATURE:
            self.report["certification"] = certification_level(self.history, index, self.contents)
        later = judge_later_revisions(self.history, index)
        self.report["later_revisions"] = {"allowed": later.allowed, "added": later.added,
                                          "modifications": later.modifications}
        for modification in later.modifications:
            self.fail("NOT_ALLOWED_CHANGE", "modified after signing: %s" % modification)
        if not later.allowed and not later.modifications:
            self.fail("NOT_ALLOWED_CHANGE", "later revisions make changes that a signature does not permit")

    # -- trust ----------------------------------------------------------------

    def path_of(self, cert: Any, known_certs: Iterable[Any], trust_roots: Sequence[Any],
                when: datetime.datetime, purpose: str, prefix: str = "") -> PathResult:
        """The validated path of ``cert``; a refusal becomes a finding."""
        path = validate(cert, known_certs, trust_roots, when, purpose)
        if path.finding is not None:
            sub_indication, message = path.finding
            self.fail(sub_indication, prefix + message)
        return path

    def report_path(self, path: PathResult) -> None:
        self.report["certificate_chain"] = [common_name(link) for link in path.chain]
        self.report["trusted_root"] = path.trusted

    def revocation_of(self, paths: Sequence[PathResult], dss: DssContents, fresh_at: datetime.datetime,
                      existed_at: datetime.datetime) -> RevocationResult:
        """The revocation status of every path in ``paths`` from ``dss``, combined."""
        combined: Optional[RevocationResult] = None
        for path in paths:
            result = check_revocation(path.chain, dss.ocsps, dss.crls, fresh_at, existed_at)
            if result.status != "good":
                return result
            if combined is None:
                combined = result
            else:
                combined.ocsps += result.ocsps
                combined.crls += result.crls
                combined.notes += result.notes
        assert combined is not None, "there is always the signer's own path"
        return combined

    def report_revocation(self, result: RevocationResult, source: str) -> None:
        self.report["revocation"] = {
            "status": result.status,
            "source": source,
            "ocsp_responses": result.ocsps,
            "crls": result.crls,
            "checked_at": _iso(result.checked_at),
            "problem": result.problem,
        }
        for message in result.notes:
            self.note(message)
        if result.status == "revoked":
            self.fail("REVOKED", result.problem)
        elif result.status == "missing":
            self.fail("TRY_LATER", "revocation data is missing or unusable: %s" % result.problem)

    @property
    def intact(self) -> bool:
        report = self.report
        return bool(report["covers_revision"] and report["later_revisions"]["allowed"]
                    and report["digest_valid"] and report["signature_valid"])


class _DocumentTimestamp(_Entry):

    def check(self, final_dss: DssContents, trust_roots: Sequence[Any]) -> None:
        try:
            token = load_container(self.contents)
        except ContainerError as error:
            self.fail("FORMAT_FAILURE", str(error))
            return
        token_check = check_token(token, self.history.covered(self.byte_range).digest,
                                  "the document timestamp")
        # TokenCheck.fail sets both.
        if token_check.problem and token_check.sub_indication:
            self.fail(token_check.sub_indication, token_check.problem)
        self.report["digest_valid"] = token_check.imprint_valid
        self.report["signature_valid"] = token_check.signature_valid
        self.time = token_check.time
        self.report["timestamp_time"] = _iso(token_check.time)
        self.report["timestamp"] = {"valid": token_check.valid, "time": _iso(token_check.time),
                                    "authority": common_name(token_check.authority)
                                    if token_check.authority is not None else None,
                                    "problem": token_check.problem}
        if token_check.authority is None or token_check.time is None:
            return
        self.report["signer"] = subject_text(token_check.authority)
        self.report["validation_time"] = _iso(token_check.time)
        path = self.path_of(token_check.authority, token_check.certificates + final_dss.certs, trust_roots,
                            token_check.time, TIMESTAMPING)
        self.report_path(path)
        self.report_revocation(self.revocation_of([path], final_dss, _utc_now(), token_check.time),
                               "DSS" if final_dss.present else "none: the document has no DSS")

    @property
    def usable_as_proof(self) -> bool:
        """Whether this timestamp proves that what it covers existed at its time."""
        return self.intact and self.time is not None and not self.failed


class _Signature(_Entry):

    def check(self, final_dss: DssContents, trust_roots: Sequence[Any],
              document_timestamps: Sequence[_DocumentTimestamp],
              dss_at: Callable[[int], DssContents]) -> None:
        check = check_signature(self.contents, self.history.covered(self.byte_range))
        for sub_indication, message in check.findings:
            self.fail(sub_indication, message)
        self.report["digest_valid"] = check.digest_valid
        self.report["signature_valid"] = check.signature_valid
        if check.signer is None:
            return
        self.report["signer"] = subject_text(check.signer)
        token = check.timestamp
        paths: List[PathResult] = []
        existed_at: Optional[datetime.datetime] = None
        if token is not None:
            self.report["timestamp_time"] = _iso(token.time)
            self.report["timestamp"] = {"valid": token.valid, "time": _iso(token.time),
                                        "authority": common_name(token.authority) if token.authority else None,
                                        "problem": token.problem}
            # A valid token has its time.
            if token.valid and token.authority is not None and token.time is not None:
                tsa_path = self.path_of(token.authority, token.certificates + final_dss.certs, trust_roots,
                                        token.time, TIMESTAMPING, "signature timestamp: ")
                paths.append(tsa_path)
                existed_at = token.time

        later_stamps = [stamp for stamp in document_timestamps
                        if stamp.usable_as_proof and self.signed_index is not None
                        and stamp.signed_index is not None and stamp.signed_index > self.signed_index]
        if existed_at is None and later_stamps:
            existed_at = later_stamps[0].time
        when = existed_at or _utc_now()
        self.report["validation_time"] = _iso(when)
        path = self.path_of(check.signer, check.certificates + final_dss.certs, trust_roots, when, SIGNER)
        self.report_path(path)
        paths.insert(0, path)

        # Long-term validation: data that a later document timestamp covers
        # (current at that timestamp's time), else the document's DSS now.
        archived: Optional[Tuple[_DocumentTimestamp, RevocationResult]] = None
        for stamp in later_stamps:
            # Usable as proof and later than this signature: both are set.
            assert stamp.signed_index is not None and stamp.time is not None
            result = self.revocation_of(paths, dss_at(stamp.signed_index), stamp.time, when)
            if result.status == "good":
                archived = (stamp, result)
                break
        if archived is not None:
            revocation = archived[1]
            self.report_revocation(revocation, "DSS timestamped by %s" % archived[0].field)
        else:
            revocation = self.revocation_of(paths, final_dss, _utc_now(), when)
            self.report_revocation(revocation, "DSS" if final_dss.present else "none: the document has no DSS")

        if self.failed or not (self.report["subfilter"] == PADES_SUBFILTER and check.names_signer is True):
            return
        level = "B-B"
        if (token is not None and token.valid) or later_stamps:
            level = "B-T"
            if archived is not None:
                level = "B-LTA"
            elif revocation.status == "good":
                level = "B-LT"
        self.report["pades_level"] = level


def verify_pdf(data: Union[bytes, bytearray, memoryview, BinaryIO], trust_roots: Iterable[Any] = (),
               file_name: Optional[str] = None) -> Dict[str, Any]:
    """The verification report (a dict) of the PDF document ``data``: its
    bytes, or a binary stream. A regular file is read on demand, never
    whole into memory.

    ``trust_roots`` are the trust anchors (asn1crypto certificates or DER);
    without them no signature can pass: trust cannot be decided.  Raises
    PdfReadError when the file cannot be read, NoSignaturesError when it
    has nothing to verify.
    """
    history = RevisionHistory(_source(data))
    records = history.document.signatures()
    if not records:
        raise NoSignaturesError("the document has no signatures and no document timestamps")
    anchors = [as_certificate(cert) for cert in trust_roots]
    values = _pdfengine.signature_values(history.document)
    entries: List[_Entry] = []
    for record, (field, found) in zip(records, values):
        # Both lists come from the same walk of the form; a mismatch would be the engine's fault.
        value = found if field == record[0] and isinstance(found, dict) else {}
        kind = _DocumentTimestamp if record[1] == "/DocTimeStamp" else _Signature
        entries.append(kind(history, record, value))
    for entry in entries:
        entry.check_placement()

    final_dss = read_dss(history.final)
    snapshots: Dict[int, DssContents] = {}

    def dss_at(index: int) -> DssContents:
        if index not in snapshots:
            snapshots[index] = read_dss(history.state(index))
        return snapshots[index]

    stamps = [entry for entry in entries if isinstance(entry, _DocumentTimestamp)]
    for stamp in stamps:
        stamp.check(final_dss, anchors)
    stamps.sort(key=lambda stamp: stamp.signed_index if stamp.signed_index is not None else -1)
    for entry in entries:
        if isinstance(entry, _Signature):
            entry.check(final_dss, anchors, stamps, dss_at)

    for entry in entries:
        entry.conclude()
    reports = [entry.report for entry in entries]
    indication = overall([report["indication"] for report in reports])
    return {
        "file": file_name,
        "size": history.size,
        "revisions": len(history),
        "trust_roots": len(anchors),
        "indication": indication,
        "valid": indication == TOTAL_PASSED,
        "problems": list(final_dss.problems),
        "signatures": reports,
    }
