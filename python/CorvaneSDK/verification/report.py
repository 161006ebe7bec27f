"""The verification report of a signed PDF document.

For every signature and document timestamp: where it is, what it covers,
what came after it, whether its container and timestamps verify, which
chain and revocation data back it, and the PAdES baseline level reached.
The report is plain data (dicts, lists, texts, numbers), ready for JSON.
"""

import datetime
import json

from ..CorvaneSign.corvane_certvalidator.registry import as_certificate
from ..CorvaneSign.corvane_signature.pdf_utils import _pdfengine
from .containers import ContainerError, byte_range_digest, check_signature, check_token, load_container
from .later_changes import judge_later_revisions
from .names import common_name, subject_text
from .pdf_values import pdf_date, text
from .revisions import RevisionHistory
from .validation_material import RevocationResult, build_chain, check_revocation, read_dss

__all__ = ["NoSignaturesError", "verify_pdf", "PADES_SUBFILTER"]

PADES_SUBFILTER = "/ETSI.CAdES.detached"
DOCUMENT_TIMESTAMP = "document timestamp"
SIGNATURE = "signature"


class NoSignaturesError(ValueError):
    """The document carries no signature and no document timestamp."""


def _iso(moment):
    return moment.isoformat() if moment is not None else None


def _utc_now():
    return datetime.datetime.now(datetime.timezone.utc)


class _Entry:
    """One signature or document timestamp being verified."""

    def __init__(self, history, record, value):
        self.history = history
        self.field, kind, subfilter, byte_range, self.contents = record
        self.byte_range = tuple(byte_range)
        self.value = value
        self.kind = DOCUMENT_TIMESTAMP if kind == "/DocTimeStamp" else SIGNATURE
        self.report = {
            "field": self.field,
            "type": self.kind,
            "subfilter": subfilter,
            "reason": text(value.get("/Reason")),
            "revision": None,
            "signer": None,
            "signing_time": _iso(pdf_date(value.get("/M"))),
            "timestamp_time": None,
            "byte_range": list(self.byte_range),
            "covers_revision": False,
            "covers_whole_file": False,
            "later_revisions": {"allowed": False, "added": [], "modifications": []},
            "digest_valid": False,
            "signature_valid": False,
            "certificate_chain": [],
            "trusted_root": None,
            "revocation": None,
            "timestamp": None,
            "pades_level": None,
            "valid": False,
            "problems": [],
            "notes": [],
        }
        self.signed_index = None
        self.time = None
        self.chain = None

    def problem(self, message):
        """Something that makes the signature invalid."""
        if message and message not in self.report["problems"]:
            self.report["problems"].append(message)

    def note(self, message):
        """Something worth knowing that does not make the signature invalid."""
        if message and message not in self.report["notes"]:
            self.report["notes"].append(message)

    # -- where the signature sits -------------------------------------------

    def check_placement(self):
        data, byte_range = self.history.data, self.byte_range
        if not (len(byte_range) == 4 and byte_range[0] == 0 and 0 < byte_range[1] < byte_range[2]
                and byte_range[3] >= 0 and byte_range[2] + byte_range[3] <= len(data)):
            self.problem("the byte range %s is not [0, start of /Contents, end of /Contents, rest]"
                         " within the file" % (list(byte_range),))
            return
        end = byte_range[2] + byte_range[3]
        gap = data[byte_range[1]:byte_range[2]]
        hex_digits = b"".join(gap[1:-1].split())
        try:
            gap_holds_contents = (gap[:1] == b"<" and gap[-1:] == b">"
                                  and bytes.fromhex(hex_digits.decode("ascii")) == self.contents)
        except ValueError:
            gap_holds_contents = False
        if not gap_holds_contents:
            self.problem("the bytes that the byte range leaves out are not exactly the signature's /Contents")
        index = self.history.index_ending_at(end)
        if index is None:
            self.problem("the byte range ends at offset %d, which is not the end of a revision" % end)
            return
        self.report["revision"] = index + 1
        held = any(field == self.field and contents == self.contents
                   for field, _kind, _subfilter, _range, contents in self.history.state(index).signatures())
        if not held:
            self.problem("revision %d, where the byte range ends, does not hold this signature" % (index + 1))
        self.report["covers_revision"] = gap_holds_contents and held
        self.report["covers_whole_file"] = self.report["covers_revision"] and end == len(data)
        self.signed_index = index
        later = judge_later_revisions(self.history, index)
        self.report["later_revisions"] = {"allowed": later.allowed, "added": later.added,
                                          "modifications": later.modifications}
        for modification in later.modifications:
            self.problem("modified after signing: %s" % modification)

    # -- trust ----------------------------------------------------------------

    def chain_of(self, cert, certificates, dss, trust_roots):
        chain = build_chain(cert, list(certificates) + dss.certs, trust_roots)
        self.report["certificate_chain"] = [common_name(link) for link in chain.chain]
        self.report["trusted_root"] = chain.trusted
        if chain.problem and chain.trusted is False:
            self.problem("certificate chain: %s" % chain.problem)
        elif chain.problem:
            self.note("certificate chain: %s" % chain.problem)
        return chain

    def revocation_report(self, result, source):
        self.report["revocation"] = {
            "status": result.status,
            "source": source,
            "ocsp_responses": result.ocsps,
            "crls": result.crls,
            "checked_at": _iso(result.checked_at),
            "problem": result.problem,
        }
        if result.status == "revoked":
            self.problem(result.problem)

    @property
    def intact(self):
        report = self.report
        return (report["covers_revision"] and report["later_revisions"]["allowed"]
                and report["digest_valid"] and report["signature_valid"])


class _DocumentTimestamp(_Entry):

    def check(self, final_dss, trust_roots):
        try:
            token = load_container(self.contents)
        except ContainerError as error:
            self.problem(str(error))
            return
        data, byte_range = self.history.data, self.byte_range
        token_check = check_token(token, lambda algorithm: byte_range_digest(data, byte_range, algorithm),
                                  "the document timestamp")
        self.problem(token_check.problem)
        self.report["digest_valid"] = token_check.imprint_valid
        self.report["signature_valid"] = token_check.signature_valid
        self.time = token_check.time
        self.report["timestamp_time"] = _iso(token_check.time)
        if token_check.authority is None:
            return
        self.report["signer"] = subject_text(token_check.authority)
        chain = self.chain_of(token_check.authority, token_check.certificates, final_dss, trust_roots)
        self.revocation_report(check_revocation(chain.chain, final_dss.ocsps, final_dss.crls), "DSS")
        self.report["timestamp"] = {"valid": token_check.valid, "time": _iso(token_check.time),
                                    "authority": common_name(token_check.authority),
                                    "problem": token_check.problem}
        self.report["valid"] = (self.intact and chain.trusted is not False
                                and self.report["revocation"]["status"] != "revoked")


class _Signature(_Entry):

    def check(self, final_dss, trust_roots, document_timestamps, dss_at):
        check = check_signature(self.contents, self.history.data, self.byte_range)
        for message in check.problems:
            self.problem(message)
        self.report["digest_valid"] = check.digest_valid
        self.report["signature_valid"] = check.signature_valid
        if check.signer is None:
            return
        self.report["signer"] = subject_text(check.signer)
        chain = self.chain_of(check.signer, check.certificates, final_dss, trust_roots)
        token = check.timestamp
        tsa_trusted = None
        if token is not None:
            self.report["timestamp_time"] = _iso(token.time)
            self.report["timestamp"] = {"valid": token.valid, "time": _iso(token.time),
                                        "authority": common_name(token.authority) if token.authority else None,
                                        "problem": token.problem}
            if token.authority is not None and trust_roots:
                tsa_chain = build_chain(token.authority, token.certificates + final_dss.certs, trust_roots)
                tsa_trusted = tsa_chain.trusted
                if not tsa_trusted:
                    self.problem("signature timestamp: %s" % tsa_chain.problem)

        # Long-term validation: data that a later document timestamp covers
        # (checked at that timestamp's time), else the document's DSS now.
        later_stamps = [stamp for stamp in document_timestamps
                        if stamp.report["valid"] and self.signed_index is not None
                        and stamp.signed_index is not None and stamp.signed_index > self.signed_index]
        archived = None
        for stamp in later_stamps:
            result = self.validation_data_complete(check, dss_at(stamp.signed_index), stamp.time)
            if result.status == "good":
                archived = (stamp, result)
                break
        if archived is not None:
            revocation = archived[1]
            self.revocation_report(revocation, "DSS timestamped by %s" % archived[0].field)
        else:
            revocation = self.validation_data_complete(check, final_dss, _utc_now())
            self.revocation_report(revocation, "DSS" if final_dss.present else "none: the document has no DSS")

        self.report["valid"] = (self.intact and (token is None or token.valid)
                                and chain.trusted is not False and tsa_trusted is not False
                                and revocation.status != "revoked")
        if not self.report["valid"]:
            return
        pades = self.report["subfilter"] == PADES_SUBFILTER and check.names_signer is True
        if not pades:
            return
        level = "B-B"
        if (token is not None and token.valid) or later_stamps:
            level = "B-T"
            if archived is not None:
                level = "B-LTA"
            elif revocation.status == "good":
                level = "B-LT"
        self.report["pades_level"] = level

    @staticmethod
    def validation_data_complete(check, dss, when):
        """Revocation status of the signer's chain, and of the signature timestamp's, from ``dss``."""
        chains = [build_chain(check.signer, check.certificates + dss.certs, None)]
        if check.timestamp is not None and check.timestamp.authority is not None:
            chains.append(build_chain(check.timestamp.authority, check.timestamp.certificates + dss.certs, None))
        combined = None
        for chain in chains:
            if chain.problem:
                return _missing(chain.problem, when)
            result = check_revocation(chain.chain, dss.ocsps, dss.crls, when)
            if result.status != "good":
                return result
            if combined is None:
                combined = result
            else:
                combined.ocsps += result.ocsps
                combined.crls += result.crls
        return combined


def _missing(problem, when):
    return RevocationResult("missing", problem, checked_at=when)


def verify_pdf(data, trust_roots=(), file_name=None):
    """The verification report (a dict) of the PDF document ``data``.

    ``trust_roots`` are certificates (asn1crypto or DER) that chains must end
    at; without them chains are built but trust is not decided.  Raises
    PdfReadError when the file cannot be read, NoSignaturesError when it
    has nothing to verify.
    """
    history = RevisionHistory(data)
    records = history.document.signatures()
    if not records:
        raise NoSignaturesError("the document has no signatures and no document timestamps")
    trust_roots = [as_certificate(cert) for cert in trust_roots]
    values = _pdfengine.signature_values(history.document)
    entries = []
    for record, (field, value) in zip(records, values):
        # Both lists come from the same walk of the form; a mismatch would be the engine's fault.
        value = json.loads(value) if field == record[0] else {}
        kind = _DocumentTimestamp if record[1] == "/DocTimeStamp" else _Signature
        entries.append(kind(history, record, value))
    for entry in entries:
        entry.check_placement()

    final_dss = read_dss(history.final)
    snapshots = {}

    def dss_at(index):
        if index not in snapshots:
            snapshots[index] = read_dss(history.state(index))
        return snapshots[index]

    stamps = [entry for entry in entries if isinstance(entry, _DocumentTimestamp)]
    for stamp in stamps:
        stamp.check(final_dss, trust_roots)
    stamps.sort(key=lambda stamp: stamp.signed_index if stamp.signed_index is not None else -1)
    for entry in entries:
        if isinstance(entry, _Signature):
            entry.check(final_dss, trust_roots, stamps, dss_at)

    reports = [entry.report for entry in entries]
    return {
        "file": file_name,
        "size": len(history.data),
        "revisions": len(history),
        "trust_roots": len(trust_roots),
        "valid": all(report["valid"] for report in reports),
        "problems": list(final_dss.problems),
        "signatures": reports,
    }
