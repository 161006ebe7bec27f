"""Building a certificate's chain up to a self-signed root.

Issuers are looked up among the known certificates first; when none fits
and fetching is allowed, the AIA caIssuers URLs of the certificate are
fetched.  A candidate is the issuer only if its subject is the certificate's
issuer name (and key identifiers agree) and it verifies the certificate's
signature.
"""

from ..corvane_signature.exceptions import ValidationError
from ..corvane_signature.net import display_url
from .decoding import certificates_from_bytes
from .fetchers import FetchError
from .signatures import UnsupportedSignatureAlgorithm, verify_signature

__all__ = ["describe", "ca_issuer_urls", "is_issued_by", "is_self_signed", "ChainBuilder"]

MAX_CHAIN_LENGTH = 12


def describe(cert):
    """Subject and serial of ``cert`` for messages."""
    return "%s (serial %d)" % (cert.subject.human_friendly, cert.serial_number)


def ca_issuer_urls(cert):
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


def is_issued_by(cert, candidate):
    """True when ``candidate`` names and signs ``cert`` as its issuer."""
    if cert.issuer != candidate.subject:
        return False
    aki, ski = cert.authority_key_identifier, candidate.key_identifier
    if aki is not None and ski is not None and aki != ski:
        return False
    try:
        return verify_signature(candidate.public_key, cert["tbs_certificate"].dump(),
                                cert["signature_value"].native, cert["signature_algorithm"])
    except UnsupportedSignatureAlgorithm:
        return False


def is_self_signed(cert):
    return cert.self_signed == "maybe" and is_issued_by(cert, cert)


def _same(a, b):
    return a.dump() == b.dump()


class ChainBuilder:
    """Chains from a pool of known certificates, completed through AIA when a fetcher is given.

    Certificates fetched through AIA join ``pool`` for later chains.
    """

    def __init__(self, pool, trust_roots, fetcher=None):
        self.pool = pool
        self.trust_roots = trust_roots
        self.fetcher = fetcher

    def _known_issuer(self, cert):
        for store in (self.trust_roots, self.pool):
            for candidate in store.retrieve_by_name(cert.issuer):
                if is_issued_by(cert, candidate):
                    return candidate
        return None

    def _fetched_issuer(self, cert, chain, problems):
        urls = ca_issuer_urls(cert)
        if not urls:
            problems.append("it names no caIssuers URL")
        for url in urls:
            try:
                certs = certificates_from_bytes(self.fetcher.get(url, "CA certificate source"))
            except FetchError as exc:
                problems.append(str(exc))
                continue
            except ValueError as exc:
                problems.append("CA certificate source %s sent no certificate (%s)"
                                % (display_url(url), exc))
                continue
            self.pool.register_multiple(certs)
            for candidate in certs:
                if is_issued_by(cert, candidate):
                    return candidate
            if all(any(_same(fetched, known) for known in chain) for fetched in certs):
                problems.append("AIA loop: caIssuers %s returns a certificate already in the chain"
                                % display_url(url))
            else:
                problems.append("caIssuers %s gave no certificate that issued it" % display_url(url))
        return None

    def build(self, cert):
        """The chain of ``cert``: the certificate first, the root last."""
        chain = [cert]
        current = cert
        while True:
            if len(self.trust_roots) and current in self.trust_roots:
                return chain
            if is_self_signed(current):
                if len(self.trust_roots):
                    raise ValidationError("the chain of %s ends at root %s, which is not a trusted root"
                                          % (describe(cert), describe(current)))
                return chain
            if len(chain) >= MAX_CHAIN_LENGTH:
                raise ValidationError("the chain of %s is longer than %d certificates without "
                                      "reaching a root" % (describe(cert), MAX_CHAIN_LENGTH))
            issuer = self._known_issuer(current)
            if issuer is None:
                problems = []
                if self.fetcher is None:
                    problems.append("it is not among the known certificates and fetching is not allowed")
                else:
                    issuer = self._fetched_issuer(current, chain, problems)
                if issuer is None:
                    raise ValidationError(
                        "the chain of %s does not reach a root: issuer %s of %s not found (%s)"
                        % (describe(cert), current.issuer.human_friendly, describe(current),
                           "; ".join(problems)))
            if any(_same(issuer, link) for link in chain):
                raise ValidationError("the chain of %s loops: %s is issued by %s, already in the chain"
                                      % (describe(cert), describe(current), describe(issuer)))
            chain.append(issuer)
            current = issuer

