"""Certificate path building and revocation data for long-term validation."""

from __future__ import annotations

import datetime
from typing import Any, Iterable, List, Optional, Tuple

import requests

from ..corvane_signature.exceptions import ValidationError
from ..corvane_signature.net import DEFAULT_TIMEOUT, HTTPConnections
from .chain import ChainBuilder
from .cms_certs import certificates_in, signature_timestamp_tokens, signer_certificate
from .decoding import as_crl, as_ocsp_response
from .fetchers import Fetcher
from .purposes import SIGNER, TIMESTAMPING
from .registry import SimpleCertificateStore, as_certificate
from .revocation import Evidence, RevocationChecker

__all__ = ["ValidationContext", "certificates_in", "signer_certificate"]

# What a collection gives: certificates, OCSP responses and CRLs (asn1crypto values).
Collected = Tuple[List[Any], List[Any], List[Any]]


def _utc_now() -> datetime.datetime:
    return datetime.datetime.now(datetime.timezone.utc)


class _Collection:
    """Certificates, OCSP responses and CRLs in first-seen order, each once."""

    def __init__(self) -> None:
        self.certs: List[Any] = []
        self.ocsps: List[Any] = []
        self.crls: List[Any] = []
        self._seen: set[bytes] = set()

    def _add(self, target: List[Any], item: Any) -> None:
        der = item.dump()
        if der not in self._seen:
            self._seen.add(der)
            target.append(item)

    def add_cert(self, cert: Any) -> None:
        self._add(self.certs, cert)

    def add_evidence(self, evidence: Evidence) -> None:
        if evidence.ocsp_response is not None:
            self._add(self.ocsps, evidence.ocsp_response)
        if evidence.crl is not None:
            self._add(self.crls, evidence.crl)
        if evidence.responder_cert is not None:
            self.add_cert(evidence.responder_cert)

    def merge(self, other: _Collection) -> None:
        for cert in other.certs:
            self.add_cert(cert)
        for response in other.ocsps:
            self._add(self.ocsps, response)
        for crl in other.crls:
            self._add(self.crls, crl)

    def result(self) -> Collected:
        return list(self.certs), list(self.ocsps), list(self.crls)


class ValidationContext:
    """Collects a certificate's chain and the revocation data that proves it unrevoked.

    ``trust_roots`` and ``other_certs`` are certificates known up front; when
    roots are given, every chain must end at one of them, otherwise chains are
    collected without deciding trust.  ``ocsps`` and ``crls`` are revocation
    data known up front.  With ``allow_fetching`` the context also fetches
    issuers (AIA caIssuers), OCSP responses and CRLs over HTTP, each request at
    most once, with ``timeout`` seconds per connection and read, through
    ``session`` when one is given, otherwise through the context's own
    session (closed by :meth:`close`, or when the context goes away).
    """

    def __init__(self, trust_roots: Optional[Iterable[Any]] = None,
                 other_certs: Optional[Iterable[Any]] = None, allow_fetching: bool = False,
                 timeout: float = DEFAULT_TIMEOUT, ocsps: Optional[Iterable[Any]] = None,
                 crls: Optional[Iterable[Any]] = None,
                 session: Optional[requests.Session] = None) -> None:
        self.allow_fetching = bool(allow_fetching)
        self.timeout = timeout
        self.trust_roots = SimpleCertificateStore()
        self.trust_roots.register_multiple(trust_roots or [])
        self.certificate_registry = SimpleCertificateStore()
        self.certificate_registry.register_multiple(other_certs or [])
        self.ocsps = [as_ocsp_response(value) for value in ocsps or []]
        self.crls = [as_crl(value) for value in crls or []]
        self.fetcher = Fetcher(timeout, session) if self.allow_fetching else None
        self._chains = ChainBuilder(self.certificate_registry, self.trust_roots, self.fetcher)
        self._revocation = RevocationChecker(self.ocsps, self.crls, self.fetcher, _utc_now)

    @property
    def http_connections(self) -> Optional[HTTPConnections]:
        """The connections its fetches go through (None without fetching)."""
        return self.fetcher.http_connections if self.fetcher is not None else None

    def close(self) -> None:
        """Close the context's own HTTP connections (a given session stays open)."""
        if self.fetcher is not None:
            self.fetcher.close()

    def _collect(self, certificate: Any, intermediates: Optional[Iterable[Any]],
                 purpose: Optional[str] = None) -> _Collection:
        certificate = as_certificate(certificate)
        self.certificate_registry.register_multiple(intermediates or [])
        chain = self._chains.build(certificate)
        if purpose is not None:
            from .path_policy import PathError, validate_path  # loads cryptography.x509: only where used

            # Without given roots the chain's own top anchors it: trust is the
            # verifier's call, but a path that breaks its constraints is never
            # worth embedding.
            anchors = list(self.trust_roots) or chain[-1:]
            try:
                validate_path(certificate, chain[1:], anchors, _utc_now(), purpose)
            except PathError as error:
                raise ValidationError(str(error))
        found = _Collection()
        for cert in chain:
            found.add_cert(cert)
        for cert, issuer in zip(chain, chain[1:]):
            found.add_evidence(self._revocation.evidence_for(cert, issuer))
        return found

    def collect(self, certificate: Any, intermediates: Optional[Iterable[Any]] = None) -> Collected:
        """``(certs, ocsps, crls)`` for ``certificate``: its chain (the certificate first,
        then up to the root, plus any delegated OCSP responder), and one OCSP response or
        CRL for every certificate of the chain but the root.

        ``intermediates`` are further certificates that may help build the chain.
        Raises RevokedCertificateError or ValidationError.
        """
        return self._collect(certificate, intermediates).result()

    async def async_collect(self, certificate: Any,
                            intermediates: Optional[Iterable[Any]] = None) -> Collected:
        """Coroutine form of :meth:`collect`; network requests block the calling thread."""
        return self.collect(certificate, intermediates)

    def collect_for_cms(self, content_info: Any) -> Collected:
        """Everything :meth:`collect` gives, merged, for the signer of a CMS ``ContentInfo``
        (a signature container or a timestamp token) and for the TSA of every signature
        timestamp it carries."""
        found = _Collection()
        pending = [content_info]
        while pending:
            current = pending.pop(0)
            signer = signer_certificate(current)
            if signer is None:
                raise ValidationError("the CMS signature does not carry its signer's certificate")
            content_type = current["content"]["encap_content_info"]["content_type"].native
            purpose = TIMESTAMPING if content_type == "tst_info" else SIGNER
            found.merge(self._collect(signer, certificates_in(current), purpose))
            pending.extend(signature_timestamp_tokens(current))
        return found.result()

    async def async_collect_for_cms(self, content_info: Any) -> Collected:
        """Coroutine form of :meth:`collect_for_cms`."""
        return self.collect_for_cms(content_info)
