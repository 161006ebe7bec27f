"""Building a certificate's chain up to a self-signed root.

Issuers are looked up among the known certificates first; when none fits
and fetching is allowed, the AIA caIssuers URLs of the certificate are
fetched.  A candidate is the issuer only if its subject is the certificate's
issuer name (and key identifiers agree) and it verifies the certificate's
signature.
"""

from __future__ import annotations

from typing import Any, List, Optional, Set, Tuple

from ..corvane_signature.exceptions import ValidationError
from ..corvane_signature.net import display_url
from .decoding import certificates_from_bytes
from .fetchers import Fetcher, FetchError
from .naming import describe, name_text, same_name
from .registry import SimpleCertificateStore
from .signatures import UnsupportedSignatureAlgorithm, verify_signature

__all__ = ["describe", "ca_issuer_urls", "is_issued_by", "is_self_signed", "ChainBuilder"]

MAX_CHAIN_LENGTH = 12


def ca_issuer_urls(cert: Any) -> List[str]:
    """HTTP(S) URLs of the certificate's AIA caIssuers entries."""
    aia = cert.authority_information_access_value
    if not aia:
        return []
    urls = []
    for entry in aia:
        location = entry["access_location"]
        if entry["access_method"].native == "ca_issuers" and location.name == "uniform_resource_identifier":
            url = location.native
            if url.lower().startswith(("http://", "https://")):
                urls.append(url)
    return urls


def is_issued_by(cert: Any, candidate: Any) -> bool:
    """True when ``candidate`` names and signs ``cert`` as its issuer."""
    # Key identifiers first: comparing them is cheap, comparing names that
    # differ is not.
    aki, ski = cert.authority_key_identifier, candidate.key_identifier
    if aki is not None and ski is not None and aki != ski:
        return False
    if not same_name(cert.issuer, candidate.subject):
        return False
    try:
        return verify_signature(candidate.public_key, cert["tbs_certificate"].dump(),
                                cert["signature_value"].native, cert["signature_algorithm"])
    except UnsupportedSignatureAlgorithm:
        return False


def is_self_signed(cert: Any) -> bool:
    return is_issued_by(cert, cert)


def _same(a: Any, b: Any) -> bool:
    return bool(a.dump() == b.dump())


class ChainBuilder:
    """Chains from a pool of known certificates, completed through AIA when a fetcher is given.

    Candidates are tried depth first, known ones before fetched ones, so a
    misleading candidate (another certificate with the issuer's name and key
    that leads nowhere) does not hide a path that works.  Certificates
    fetched through AIA join ``pool`` for later chains.
    """

    def __init__(self, pool: SimpleCertificateStore, trust_roots: SimpleCertificateStore,
                 fetcher: Optional[Fetcher] = None) -> None:
        self.pool = pool
        self.trust_roots = trust_roots
        self.fetcher = fetcher

    def _known_issuers(self, cert: Any) -> List[Any]:
        found: List[Any] = []
        for store in (self.trust_roots, self.pool):
            for candidate in store:  # is_issued_by compares names after the cheaper key identifiers
                if is_issued_by(cert, candidate) and not any(_same(candidate, f) for f in found):
                    found.append(candidate)
        return found

    def _fetched_issuers(self, cert: Any, problems: List[str], fetcher: Fetcher) -> List[Any]:
        urls = ca_issuer_urls(cert)
        if not urls:
            problems.append("%s names no caIssuers URL" % describe(cert))
        found: List[Any] = []
        for url in urls:
            try:
                certs = certificates_from_bytes(fetcher.get(url, "CA certificate source"))
            except FetchError as exc:
                problems.append(str(exc))
                continue
            except ValueError as exc:
                problems.append("CA certificate source %s sent no certificate (%s)"
                                % (display_url(url), exc))
                continue
            self.pool.register_multiple(certs)
            issuers = [candidate for candidate in certs if is_issued_by(cert, candidate)]
            if not issuers:
                problems.append("caIssuers %s of %s gave no certificate that issued it"
                                % (display_url(url), describe(cert)))
            found.extend(issuers)
        return found

    def _extend(self, chain: List[Any], tried: Set[Tuple[bytes, bytes]],
                problems: List[str]) -> Optional[List[Any]]:
        """A complete chain starting with ``chain``, or None (reasons go to ``problems``)."""
        current = chain[-1]
        if len(self.trust_roots) and current in self.trust_roots:
            return chain
        if is_self_signed(current):
            if len(self.trust_roots):
                problems.append("it ends at root %s, which is not a trusted root" % describe(current))
                return None
            return chain
        if len(chain) >= MAX_CHAIN_LENGTH:
            problems.append("no root within %d certificates" % MAX_CHAIN_LENGTH)
            return None
        candidates = self._known_issuers(current)
        fetched = False
        while True:
            for candidate in candidates:
                if any(_same(candidate, link) for link in chain):
                    problems.append("loop: %s is issued by %s, which is already in the chain"
                                    % (describe(current), describe(candidate)))
                    continue
                key = (current.dump(), candidate.dump())
                if key in tried:
                    continue
                tried.add(key)
                result = self._extend(chain + [candidate], tried, problems)
                if result is not None:
                    return result
            if fetched or self.fetcher is None:
                break
            fetched = True
            known = candidates
            candidates = [c for c in self._fetched_issuers(current, problems, self.fetcher)
                          if not any(_same(c, k) for k in known)]
        if self.fetcher is None and not candidates:
            problems.append("issuer %s of %s is not among the known certificates and fetching "
                            "is not allowed" % (name_text(current.issuer), describe(current)))
        return None

    def build(self, cert: Any) -> List[Any]:
        """The chain of ``cert``: the certificate first, the root last."""
        problems: List[str] = []
        chain = self._extend([cert], set(), problems)
        if chain is None:
            unique: List[str] = []
            for problem in problems:
                if problem not in unique:
                    unique.append(problem)
            raise ValidationError("the chain of %s does not reach a %sroot: %s"
                                  % (describe(cert), "trusted " if len(self.trust_roots) else "",
                                     "; ".join(unique)))
        return chain
