"""RFC 5280 path validation for the three kinds of certificate this library
relies on: document signers, timestamp authorities and delegated OCSP
responders.

The path work (issuer/subject chaining, signatures, validity periods, basic
constraints and path lengths) is ``cryptography.x509.verification``'s; this
module only states, per purpose, which key usages an end-entity certificate
must allow.  Issuers follow RFC 5280 rather than the web PKI's stricter
profile: a CA certificate must say it is a CA, and when it restricts its key
usage, keyCertSign must be among them.
"""

from __future__ import annotations

import datetime
from typing import Any, Callable, Iterable, List, NoReturn, Optional, Tuple

from asn1crypto import x509 as asn1_x509
from cryptography import x509
from cryptography.hazmat.primitives.serialization import Encoding
from cryptography.x509.oid import ExtendedKeyUsageOID, ObjectIdentifier
from cryptography.x509.verification import (Criticality, ExtensionPolicy, Policy, PolicyBuilder, Store,
                                            VerificationError)

from ..corvane_signature.exceptions import ValidationError
from .naming import describe
from .purposes import OCSP_SIGNING, SIGNER, TIMESTAMPING

__all__ = ["SIGNER", "TIMESTAMPING", "OCSP_SIGNING", "PathError", "validate_path", "to_cryptography"]

# Why a path was refused; the verifier turns these into its verdicts.
EXPIRED = "expired"
NOT_YET_VALID = "not yet valid"
NO_CHAIN = "no chain"
CONSTRAINTS = "constraints"

MAX_DEPTH = 8

# Keys dedicated to answering for a service must not also sign documents.
_SERVICE_USAGES = (ExtendedKeyUsageOID.TIME_STAMPING, ExtendedKeyUsageOID.OCSP_SIGNING)


class PathError(ValidationError):
    """A certificate's path does not validate; ``reason`` is one of the module's reason names."""

    def __init__(self, message: str, reason: str) -> None:
        super().__init__(message)
        self.reason = reason


def to_cryptography(cert: Any) -> x509.Certificate:
    """The cryptography certificate of an asn1crypto one (or of DER bytes)."""
    if isinstance(cert, x509.Certificate):
        return cert
    der = cert.dump() if isinstance(cert, asn1_x509.Certificate) else bytes(cert)
    return x509.load_der_x509_certificate(der)


def _readable(certs: Iterable[Any]) -> List[x509.Certificate]:
    """The certificates that cryptography can read; a damaged one must not hide the others."""
    readable = []
    for cert in certs:
        try:
            readable.append(to_cryptography(cert))
        except ValueError:
            continue
    return readable


def _refuse(message: str) -> NoReturn:
    # The verifier reports a callback's exception as the reason of the failure.
    raise ValueError(message)


def _signer_key_usage(_policy: Policy, _cert: x509.Certificate, usage: Optional[x509.KeyUsage]) -> None:
    if usage is not None and not (usage.digital_signature or usage.content_commitment):
        _refuse("its key usage allows neither digitalSignature nor nonRepudiation")


def _service_key_usage(_policy: Policy, _cert: x509.Certificate, usage: Optional[x509.KeyUsage]) -> None:
    if usage is not None and not (usage.digital_signature or usage.content_commitment):
        _refuse("its key usage does not allow digitalSignature")


def _not_a_ca(_policy: Policy, _cert: x509.Certificate,
              constraints: Optional[x509.BasicConstraints]) -> None:
    if constraints is not None and constraints.ca:
        _refuse("it is a CA certificate, not an end-entity one")


def _signer_eku(_policy: Policy, _cert: x509.Certificate,
                usages: Optional[x509.ExtendedKeyUsage]) -> None:
    if usages is not None and any(oid in usages for oid in _SERVICE_USAGES):
        _refuse("its extended key usage reserves it for timestamping or OCSP responses")


def _requires_eku(oid: ObjectIdentifier, name: str
                  ) -> Callable[[Policy, x509.Certificate, Optional[x509.ExtendedKeyUsage]], None]:
    def check(_policy: Policy, _cert: x509.Certificate,
              usages: Optional[x509.ExtendedKeyUsage]) -> None:
        if usages is None or oid not in usages:
            _refuse("its extended key usage lacks %s" % name)
    return check


def _ca_key_usage(_policy: Policy, _cert: x509.Certificate, usage: Optional[x509.KeyUsage]) -> None:
    if usage is not None and not usage.key_cert_sign:
        _refuse("it is a CA whose key usage does not allow keyCertSign")


def _ca_constraints(_policy: Policy, _cert: x509.Certificate,
                    constraints: x509.BasicConstraints) -> None:
    if not constraints.ca:
        _refuse("it issued a certificate but is not a CA")


def _end_entity_policy(purpose: str) -> ExtensionPolicy:
    policy = (ExtensionPolicy.permit_all()
              .may_be_present(x509.BasicConstraints, Criticality.AGNOSTIC, _not_a_ca))
    if purpose == SIGNER:
        return (policy.may_be_present(x509.KeyUsage, Criticality.AGNOSTIC, _signer_key_usage)
                .may_be_present(x509.ExtendedKeyUsage, Criticality.AGNOSTIC, _signer_eku))
    policy = policy.may_be_present(x509.KeyUsage, Criticality.AGNOSTIC, _service_key_usage)
    if purpose == TIMESTAMPING:
        return policy.may_be_present(x509.ExtendedKeyUsage, Criticality.AGNOSTIC,
                                      _requires_eku(ExtendedKeyUsageOID.TIME_STAMPING, "timeStamping"))
    if purpose == OCSP_SIGNING:
        return policy.may_be_present(x509.ExtendedKeyUsage, Criticality.AGNOSTIC,
                                      _requires_eku(ExtendedKeyUsageOID.OCSP_SIGNING, "id-kp-OCSPSigning"))
    raise ValueError("unknown certificate purpose %r" % (purpose,))


def _ca_policy() -> ExtensionPolicy:
    return (ExtensionPolicy.permit_all()
            .require_present(x509.BasicConstraints, Criticality.AGNOSTIC, _ca_constraints)
            .may_be_present(x509.KeyUsage, Criticality.AGNOSTIC, _ca_key_usage))


def _utc(moment: datetime.datetime) -> datetime.datetime:
    if moment.tzinfo is None:
        return moment.replace(tzinfo=datetime.timezone.utc)
    return moment


def _period_problem(cert: x509.Certificate, when: datetime.datetime) -> Optional[Tuple[str, str]]:
    if when < cert.not_valid_before_utc:
        return NOT_YET_VALID, "it is not valid before %s" % cert.not_valid_before_utc.isoformat()
    if when > cert.not_valid_after_utc:
        return EXPIRED, "it expired on %s" % cert.not_valid_after_utc.isoformat()
    return None


def _reason_of(message: str) -> str:
    # Only "no candidate issuer at all" means the path is missing; any other
    # refusal is a certificate of the path breaking a rule.
    if "with no interior errors" in message or "exceeds max depth" in message:
        return NO_CHAIN
    return CONSTRAINTS


def _tidy(message: str) -> str:
    message = message.replace("validation failed: ", "")
    message = message.replace("all candidates exhausted with no interior errors",
                              "no issuer among the known certificates leads to a trust anchor")
    message = message.replace("candidates exhausted: ", "")
    return message.replace("Python extension validator failed: ValueError: ", "")


def validate_path(cert: Any, intermediates: Iterable[Any], trust_roots: Iterable[Any],
                  when: datetime.datetime, purpose: str) -> List[Any]:
    """The validated path of ``cert`` (asn1crypto certificates, ``cert`` first, the
    trust anchor last) for ``purpose`` at the time ``when``.

    ``intermediates`` may hold any certificates (unrelated ones are ignored);
    ``trust_roots`` are the anchors.  Raises PathError saying why not.
    """
    # The certificate is described only for an error: describing it builds its native subject.
    try:
        leaf = to_cryptography(cert)
    except ValueError as error:
        raise PathError("%s certificate %s cannot be validated: %s" % (purpose, describe(cert), error),
                        CONSTRAINTS)
    when = _utc(when)
    period = _period_problem(leaf, when)
    if period is not None:
        raise PathError("%s certificate %s is not valid at %s: %s"
                        % (purpose, describe(cert), when.isoformat(), period[1]), period[0])
    anchors = _readable(trust_roots)
    if not anchors:
        raise PathError("%s %s cannot be validated: no trust anchor is given" % (purpose, describe(cert)),
                        NO_CHAIN)
    # A self-signed certificate can only be an anchor; offered as an
    # intermediate it would send the search round in circles.
    pool = [other for other in _readable(intermediates) if other.issuer != other.subject]
    verifier = (PolicyBuilder().store(Store(anchors)).time(when).max_chain_depth(MAX_DEPTH)
                .extension_policies(ca_policy=_ca_policy(), ee_policy=_end_entity_policy(purpose))
                .build_client_verifier())
    try:
        verified = verifier.verify(leaf, pool)
    except (VerificationError, ValueError) as error:
        raise PathError("%s certificate %s has no valid path to a trust anchor at %s: %s"
                        % (purpose, describe(cert), when.isoformat(), _tidy(str(error))),
                        _reason_of(str(error)))
    return [asn1_x509.Certificate.load(link.public_bytes(Encoding.DER)) for link in verified.chain]

