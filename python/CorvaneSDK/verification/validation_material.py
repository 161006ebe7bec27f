"""Certificate paths and revocation status from what a signed document
carries (the certificates in its containers and the certificates, OCSP
responses and CRLs in its document security store, DSS) and from the trust
anchors the verifier is given.  Nothing is fetched: a verifier judges the
file as it is.
"""

from __future__ import annotations

import datetime
from typing import TYPE_CHECKING, Any, Callable, Iterable, List, Optional, Sequence, Tuple

from ..CorvaneSign.corvane_certvalidator import path_policy
from ..CorvaneSign.corvane_certvalidator.chain import ChainBuilder, is_self_signed
from ..CorvaneSign.corvane_certvalidator.naming import describe
from ..CorvaneSign.corvane_certvalidator.decoding import certificates_from_bytes, crl_from_bytes, \
    ocsp_response_from_bytes
from ..CorvaneSign.corvane_certvalidator.registry import SimpleCertificateStore
from ..CorvaneSign.corvane_certvalidator.revocation import RevocationChecker
from ..CorvaneSign.corvane_signature.exceptions import RevokedCertificateError, ValidationError
from .. import _pdfengine
from .pdf_values import reference

if TYPE_CHECKING:
    from .revisions import RevisionState

__all__ = ["DssContents", "read_dss", "PathResult", "validate", "RevocationResult", "check_revocation"]


class DssContents:
    """The decoded certificates, OCSP responses and CRLs of a DSS, and what could not be decoded."""

    def __init__(self) -> None:
        self.certs: List[Any] = []
        self.ocsps: List[Any] = []
        self.crls: List[Any] = []
        self.problems: List[str] = []

    @property
    def present(self) -> bool:
        return bool(self.certs or self.ocsps or self.crls)


def _stream_refs(state: RevisionState, value: Any) -> List[Tuple[int, int]]:
    items = state.resolve(value)
    if not isinstance(items, list):
        return []
    return [ref for ref in (reference(item) for item in items) if ref is not None]


def read_dss(state: RevisionState) -> DssContents:
    """The DSS of a RevisionState's catalog (empty when it has none)."""
    contents = DssContents()
    dss = state.resolve(state.catalog.get("/DSS"))
    if not isinstance(dss, dict):
        return contents
    readers: Tuple[Tuple[str, List[Any], Callable[[bytes], Any]], ...] = (
        ("/Certs", contents.certs, lambda data: certificates_from_bytes(data)[0]),
        ("/OCSPs", contents.ocsps, ocsp_response_from_bytes),
        ("/CRLs", contents.crls, crl_from_bytes))
    for key, target, decode in readers:
        for number, generation in _stream_refs(state, dss.get(key)):
            try:
                target.append(decode(_pdfengine.stream_data(state.document, number, generation)))
            except Exception as error:  # noqa: BLE001 - one bad item must not hide the others
                contents.problems.append("DSS %s item %d %d cannot be read (%s)" % (key, number, generation, error))
    return contents


# What a refused path means for the verdict.
_SUB_INDICATION = {
    path_policy.EXPIRED: "EXPIRED",
    path_policy.NOT_YET_VALID: "NOT_YET_VALID",
    path_policy.NO_CHAIN: "NO_CERTIFICATE_CHAIN_FOUND",
    path_policy.CONSTRAINTS: "CHAIN_CONSTRAINTS_FAILURE",
}


class PathResult:
    """A certificate's path (the certificate first) and why it does not validate, if it does not.

    ``trusted`` is True when the path validated up to a given trust anchor,
    None when no anchor was given, False otherwise.  ``finding`` is
    ``(sub-indication, message)`` or None.
    """

    def __init__(self, chain: List[Any], trusted: Optional[bool],
                 finding: Optional[Tuple[str, str]] = None) -> None:
        self.chain = chain
        self.trusted = trusted
        self.finding = finding


def _chain_in_file(cert: Any, known_certs: Iterable[Any]) -> List[Any]:
    """As much of ``cert``'s chain as the known certificates give, for reporting and revocation."""
    pool = SimpleCertificateStore()
    pool.register_multiple(known_certs)
    try:
        return ChainBuilder(pool, SimpleCertificateStore()).build(cert)
    except ValidationError:
        return [cert]


def validate(cert: Any, known_certs: Iterable[Any], trust_roots: Sequence[Any],
             when: datetime.datetime, purpose: str) -> PathResult:
    """The RFC 5280 path of ``cert`` for ``purpose`` at ``when`` up to one of ``trust_roots``.

    Without trust anchors the chain the file carries is still checked against
    its own top, so that a broken path fails even when trust cannot be decided.
    """
    known_certs = list(known_certs)
    file_chain = _chain_in_file(cert, known_certs)
    anchors = list(trust_roots) or file_chain[-1:]
    try:
        chain = path_policy.validate_path(cert, known_certs, anchors, when, purpose)
    except path_policy.PathError as error:
        return PathResult(file_chain, False if trust_roots else None,
                          (_SUB_INDICATION[error.reason], str(error)))
    if not trust_roots:
        return PathResult(chain, None, ("NO_CERTIFICATE_CHAIN_FOUND",
                                        "%s: no trust anchor was given, so trust cannot be decided" % purpose))
    return PathResult(chain, True)


class RevocationResult:
    """Whether a path's revocation status is proven by the given data: "good", "revoked" or "missing"."""

    def __init__(self, status: str, problem: Optional[str] = None, ocsps: int = 0, crls: int = 0,
                 checked_at: Optional[datetime.datetime] = None, notes: Iterable[str] = ()) -> None:
        self.status = status
        self.problem = problem
        self.ocsps = ocsps
        self.crls = crls
        self.checked_at = checked_at
        self.notes = list(notes)


def check_revocation(chain: Sequence[Any], ocsps: Iterable[Any], crls: Iterable[Any],
                     fresh_at: datetime.datetime, existed_at: datetime.datetime) -> RevocationResult:
    """Checks every certificate of ``chain`` but its anchor against ``ocsps`` and ``crls``.

    The data must be current at ``fresh_at``; a certificate counts as revoked
    when its revocation took effect no later than ``existed_at``, the best
    proof of when the signature existed.
    """
    if len(chain) < 2 and not chain_is_anchored(chain):
        return RevocationResult("missing", "the issuer of %s is unknown, so its revocation status cannot "
                                "be checked" % describe(chain[0]), checked_at=fresh_at)
    checker = RevocationChecker(list(ocsps), list(crls), None, lambda: fresh_at)
    used_ocsps: set[bytes] = set()
    used_crls: set[bytes] = set()
    notes: List[str] = []
    for cert, issuer in zip(chain, chain[1:]):
        try:
            evidence = checker.evidence_for(cert, issuer)
        except RevokedCertificateError as error:
            revoked_at: Optional[datetime.datetime] = getattr(error, "revoked_at", None)
            if revoked_at is None or revoked_at <= existed_at:
                return RevocationResult("revoked", str(error), checked_at=fresh_at)
            notes.append("%s; the signature existed before, at %s" % (error, existed_at.isoformat()))
            continue
        except ValidationError as error:
            return RevocationResult("missing", str(error), checked_at=fresh_at)
        if evidence.ocsp_response is not None:
            used_ocsps.add(evidence.ocsp_response.dump())
        if evidence.crl is not None:
            used_crls.add(evidence.crl.dump())
    return RevocationResult("good", None, len(used_ocsps), len(used_crls), fresh_at, notes)


def chain_is_anchored(chain: Sequence[Any]) -> bool:
    """A one-certificate chain is complete only when that certificate is itself the anchor (self-signed)."""
    return len(chain) == 1 and is_self_signed(chain[0])
