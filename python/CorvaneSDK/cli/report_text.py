"""The verification report as a short table for people."""

import datetime
from typing import Any, Dict, List, Optional, Sequence, Tuple

# A report, or one of its signature entries, as verify_pdf gives it (JSON data).
_Report = Dict[str, Any]

__all__ = ["render_report"]


def _time(value: Optional[str]) -> str:
    if not value:
        return "-"
    moment = datetime.datetime.fromisoformat(value)
    return moment.replace(microsecond=0).isoformat(sep=" ")


def _columns(rows: Sequence[Tuple[str, ...]], indent: str = "") -> List[str]:
    widths = [max(len(row[i]) for row in rows) for i in range(len(rows[0]) - 1)]
    return ["%s%s" % (indent, "  ".join(cell.ljust(width) for cell, width in zip(row, widths)) + "  " + row[-1])
            for row in rows]


def _placement(entry: _Report) -> str:
    if entry["revision"] is None or not entry["covers_revision"]:
        return "INVALID: does not cover exactly the revision it belongs to"
    if entry["covers_whole_file"]:
        return "covers revision %d, the whole file" % entry["revision"]
    return "covers revision %d entirely; later revisions follow" % entry["revision"]


def _later(entry: _Report) -> str:
    later = entry["later_revisions"]
    if entry["revision"] is None:
        return "-"
    if later["modifications"]:
        return "MODIFIED: %s" % "; ".join(later["modifications"])
    return "only added: %s" % ", ".join(later["added"]) if later["added"] else "none"


def _chain(entry: _Report) -> str:
    chain = " > ".join(entry["certificate_chain"]) or "-"
    trusted = entry["trusted_root"]
    if trusted is None:
        return "%s (trust not decided: no trust anchor given)" % chain
    return "%s (%s)" % (chain, "valid path to a trust anchor" if trusted else "NO VALID PATH")


def _revocation(entry: _Report) -> str:
    revocation = entry["revocation"]
    if revocation is None:
        return "-"
    if revocation["status"] == "good":
        return "not revoked: %d OCSP response(s), %d CRL(s) from the %s" % (
            revocation["ocsp_responses"], revocation["crls"], revocation["source"])
    if revocation["status"] == "revoked":
        return "REVOKED: %s" % revocation["problem"]
    return "MISSING: no complete revocation data (%s)" % revocation["source"]


def _timestamp(entry: _Report) -> str:
    stamp = entry["timestamp"]
    if stamp is None:
        return "none"
    verdict = "valid" if stamp["valid"] else "INVALID"
    return "%s by %s: %s" % (_time(stamp["time"]), stamp["authority"] or "?", verdict)


def _verdict(flag: object) -> str:
    return "valid" if flag else "INVALID"


def _result(entry: _Report) -> str:
    """TOTAL-PASSED, or the indication and sub-indication joined, e.g. INDETERMINATE/TRY_LATER."""
    if entry["sub_indication"] is None:
        indication: str = entry["indication"]
        return indication
    return "%s/%s" % (entry["indication"], entry["sub_indication"])


def _details(entry: _Report) -> List[Tuple[str, str]]:
    rows: List[Tuple[str, str]] = [("signer", entry["signer"] or "-")]
    if entry["type"] == "signature":
        rows += [("signing time", "%s (claimed)" % _time(entry["signing_time"])
                  if entry["signing_time"] else "- (none claimed)"),
                 ("timestamp", _timestamp(entry))]
    else:
        rows.append(("time", _time(entry["timestamp_time"])))
    rows += [
        ("byte range", _placement(entry)),
        ("later changes", _later(entry)),
        ("digest", _verdict(entry["digest_valid"])),
        ("signature", _verdict(entry["signature_valid"])),
        ("validated at", _time(entry["validation_time"])),
        ("chain", _chain(entry)),
        ("revocation", _revocation(entry)),
    ]
    if entry["type"] == "signature":
        rows.append(("PAdES level", entry["pades_level"] or "-"))
        if entry.get("certification"):
            rows.append(("certification", "DocMDP P %d (%s)" % (entry["certification"],
                                                               _DOCMDP_MEANING[entry["certification"]])))
    rows.append(("result", _result(entry)))
    rows += [("problem", problem) for problem in entry["problems"]]
    rows += [("note", note) for note in entry["notes"]]
    return rows


_DOCMDP_MEANING = {1: "no changes allowed", 2: "form filling and signing allowed",
                   3: "form filling, signing and annotations allowed"}


def _conclusion(indication: str, entries: Sequence[_Report]) -> str:
    count = sum(1 for entry in entries if entry["indication"] == indication)
    if indication == "TOTAL-PASSED":
        return "TOTAL-PASSED: every signature and document timestamp passed"
    if indication == "TOTAL-FAILED":
        return "TOTAL-FAILED: %d of %d failed verification" % (count, len(entries))
    return "INDETERMINATE: %d of %d could not be decided (see their problems)" % (count, len(entries))


def render_report(report: _Report) -> str:
    entries = report["signatures"]
    lines = ["%s: %d bytes, %d revisions, %d signature(s) and document timestamp(s)" % (
        report["file"] or "document", report["size"], report["revisions"], len(entries))]
    summary: List[Tuple[str, ...]] = [("Field", "Type", "Signed by", "Time", "Level", "Result")]
    for entry in entries:
        time = entry["signing_time"] if entry["type"] == "signature" else entry["timestamp_time"]
        signer = entry["certificate_chain"][0] if entry["certificate_chain"] else "-"
        summary.append((entry["field"], entry["type"], signer, _time(time), entry["pades_level"] or "-",
                        _result(entry)))
    lines.append("")
    lines += _columns(summary)
    for entry in entries:
        lines += ["", "%s (%s, revision %s)" % (entry["field"], entry["type"], entry["revision"] or "?")]
        lines += _columns([(label, value) for label, value in _details(entry)], "  ")
    lines.append("")
    for problem in report["problems"]:
        lines.append("problem: %s" % problem)
    lines.append(_conclusion(report["indication"], entries))
    return "\n".join(lines) + "\n"
