"""Finding revocation evidence for one certificate: OCSP first, then the CRL.

Material given to the context is tried before anything is fetched.  The
first source that vouches for the certificate wins; if none does, the error
lists why each one failed.
"""

import datetime
from typing import Any, Callable, Iterable, List, Optional

from ..corvane_signature.exceptions import ValidationError
from ..corvane_signature.net import display_url
from . import crl_check, ocsp_check
from .naming import describe
from .decoding import crl_from_bytes, ocsp_response_from_bytes
from .fetchers import Fetcher, FetchError

__all__ = ["Evidence", "RevocationChecker"]


class Evidence:
    """What vouches for one certificate: an OCSP response (plus its responder's certificate) or a CRL."""

    def __init__(self, ocsp_response: Any = None, crl: Any = None, responder_cert: Any = None) -> None:
        self.ocsp_response = ocsp_response
        self.crl = crl
        self.responder_cert = responder_cert


def _http_urls(urls: Iterable[Optional[str]]) -> List[str]:
    return [url for url in urls if url and url.lower().startswith(("http://", "https://"))]


def _crl_urls(cert: Any) -> List[str]:
    urls = []
    for point in cert.crl_distribution_points:
        try:
            urls.append(point.url)
        except ValueError:  # relative distribution point names are not fetchable
            continue
    return _http_urls(urls)


class RevocationChecker:
    """Revocation evidence from given responses and CRLs, and from the network when a fetcher is set."""

    def __init__(self, ocsps: List[Any], crls: List[Any], fetcher: Optional[Fetcher],
                 clock: Callable[[], datetime.datetime]) -> None:
        self.ocsps = ocsps
        self.crls = crls
        self.fetcher = fetcher
        self.clock = clock

    def _from_ocsp(self, response: Any, cert: Any, issuer: Any, source: str) -> Evidence:
        responder = ocsp_check.check_ocsp_response(response, cert, issuer, source, self.clock())
        return Evidence(ocsp_response=response, responder_cert=responder)

    def _from_crl(self, crl: Any, cert: Any, issuer: Any, source: str) -> Evidence:
        crl_check.check_crl(crl, cert, issuer, source, self.clock())
        return Evidence(crl=crl)

    def _given(self, cert: Any, issuer: Any, problems: List[str]) -> Optional[Evidence]:
        for response in self.ocsps:
            if ocsp_check.responds_for(response, cert, issuer):
                try:
                    return self._from_ocsp(response, cert, issuer, "a given response")
                except FetchError as exc:
                    problems.append(str(exc))
        for crl in self.crls:
            if crl_check.issued_by(crl, issuer):
                try:
                    return self._from_crl(crl, cert, issuer, "the given CRLs")
                except FetchError as exc:
                    problems.append(str(exc))
        return None

    def _fetched(self, cert: Any, issuer: Any, problems: List[str],
                 fetcher: Fetcher) -> Optional[Evidence]:
        request = ocsp_check.ocsp_request_for(cert, issuer).dump()
        for url in _http_urls(cert.ocsp_urls):
            source = display_url(url)
            try:
                body = fetcher.post(url, request, "application/ocsp-request", "OCSP responder")
                try:
                    response = ocsp_response_from_bytes(body)
                except ValueError:
                    raise FetchError("OCSP responder %s sent no OCSP response" % source)
                return self._from_ocsp(response, cert, issuer, source)
            except FetchError as exc:
                problems.append(str(exc))
        for url in _crl_urls(cert):
            source = display_url(url)
            try:
                body = fetcher.get(url, "CRL distribution point")
                try:
                    crl = crl_from_bytes(body)
                except ValueError:
                    raise FetchError("CRL distribution point %s sent no CRL" % source)
                return self._from_crl(crl, cert, issuer, source)
            except FetchError as exc:
                problems.append(str(exc))
        return None

    def evidence_for(self, cert: Any, issuer: Any) -> Evidence:
        """Evidence that ``cert`` (issued by ``issuer``) is not revoked.

        Raises RevokedCertificateError when it is, ValidationError when no
        source gives a trustworthy answer.
        """
        problems: List[str] = []
        evidence = self._given(cert, issuer, problems)
        if evidence is None and self.fetcher is not None:
            evidence = self._fetched(cert, issuer, problems, self.fetcher)
        if evidence is not None:
            return evidence
        if not problems:
            if self.fetcher is None:
                problems.append("fetching is not allowed and no OCSP response or CRL for it was given")
            else:
                problems.append("it names no OCSP responder and no CRL distribution point")
        raise ValidationError("no revocation information for certificate %s: %s"
                              % (describe(cert), "; ".join(problems)))

