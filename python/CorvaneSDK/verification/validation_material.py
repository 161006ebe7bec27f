"""Certificate chains and revocation status from what a signed document
carries: the certificates in its containers and the certificates, OCSP
responses and CRLs in its document security store (DSS). Nothing is
fetched: a verifier judges the file as it is.
"""

import datetime

from ..CorvaneSign.corvane_certvalidator.chain import ChainBuilder
from ..CorvaneSign.corvane_certvalidator.decoding import certificates_from_bytes, crl_from_bytes, \
    ocsp_response_from_bytes
from ..CorvaneSign.corvane_certvalidator.registry import SimpleCertificateStore
from ..CorvaneSign.corvane_certvalidator.revocation import RevocationChecker
from ..CorvaneSign.corvane_signature.exceptions import RevokedCertificateError, ValidationError
from ..CorvaneSign.corvane_signature.pdf_utils import _pdfengine
from .pdf_values import reference

__all__ = ["DssContents", "read_dss", "ChainResult", "build_chain", "RevocationResult", "check_revocation"]


class DssContents:
    """The decoded certificates, OCSP responses and CRLs of a DSS, and what could not be decoded."""

    def __init__(self):
        self.certs, self.ocsps, self.crls = [], [], []
        self.problems = []

    @property
    def present(self):
        return bool(self.certs or self.ocsps or self.crls)


def _stream_refs(state, value):
    items = state.resolve(value)
    if not isinstance(items, list):
        return []
    return [ref for ref in (reference(item) for item in items) if ref is not None]


def read_dss(state):
    """The DSS of a RevisionState's catalog (empty when it has none)."""
    contents = DssContents()
    dss = state.resolve(state.catalog.get("/DSS"))
    if not isinstance(dss, dict):
        return contents
    readers = (("/Certs", contents.certs, lambda data: certificates_from_bytes(data)[0]),
               ("/OCSPs", contents.ocsps, ocsp_response_from_bytes),
               ("/CRLs", contents.crls, crl_from_bytes))
    for key, target, decode in readers:
        for number, generation in _stream_refs(state, dss.get(key)):
            try:
                target.append(decode(_pdfengine.stream_data(state.document, number, generation)))
            except Exception as error:  # noqa: BLE001 - one bad item must not hide the others
                contents.problems.append("DSS %s item %d %d cannot be read (%s)" % (key, number, generation, error))
    return contents


class ChainResult:
    """A certificate's chain (the certificate first) and whether it ends at a trust root."""

    def __init__(self, chain=None, trusted=None, problem=None):
        self.chain = chain or []
        self.trusted = trusted   # None when no trust roots were given
        self.problem = problem


def build_chain(cert, known_certs, trust_roots):
    """The chain of ``cert`` from ``known_certs``; with ``trust_roots``, also whether it reaches one."""
    pool = SimpleCertificateStore()
    pool.register_multiple(known_certs)
    result = ChainResult()
    try:
        result.chain = ChainBuilder(pool, SimpleCertificateStore()).build(cert)
    except ValidationError as error:
        result.chain = [cert]
        result.problem = str(error)
    if trust_roots:
        roots = SimpleCertificateStore()
        roots.register_multiple(trust_roots)
        try:
            result.chain = ChainBuilder(pool, roots).build(cert)
            result.trusted = True
            result.problem = None
        except ValidationError as error:
            result.trusted = False
            result.problem = str(error)
    return result


class RevocationResult:
    """Whether a chain's revocation status is proven by the given data: "good", "revoked" or "missing"."""

    def __init__(self, status, problem=None, ocsps=0, crls=0, checked_at=None):
        self.status = status
        self.problem = problem
        self.ocsps = ocsps
        self.crls = crls
        self.checked_at = checked_at


def check_revocation(chain, ocsps, crls, when=None):
    """Checks every certificate of ``chain`` but the root against ``ocsps`` and ``crls`` at ``when``."""
    when = when or datetime.datetime.now(datetime.timezone.utc)
    if len(chain) < 2:
        return RevocationResult("missing", "the chain is incomplete", checked_at=when)
    checker = RevocationChecker(list(ocsps), list(crls), None, lambda: when)
    used_ocsps, used_crls = set(), set()
    for cert, issuer in zip(chain, chain[1:]):
        try:
            evidence = checker.evidence_for(cert, issuer)
        except RevokedCertificateError as error:
            return RevocationResult("revoked", str(error), checked_at=when)
        except ValidationError as error:
            return RevocationResult("missing", str(error), checked_at=when)
        if evidence.ocsp_response is not None:
            used_ocsps.add(evidence.ocsp_response.dump())
        if evidence.crl is not None:
            used_crls.add(evidence.crl.dump())
    return RevocationResult("good", None, len(used_ocsps), len(used_crls), when)
