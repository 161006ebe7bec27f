"""The checks a CRL must pass before it vouches for a certificate.

Usable: a complete CRL (no delta) issued and signed by the certificate's
issuer, current now.  As with OCSP, an unusable CRL raises FetchError, a
signature that does not verify raises ValidationError, and a CRL listing the
certificate raises RevokedCertificateError.
"""

import datetime
from typing import Any, Optional

from ..corvane_signature.exceptions import RevokedCertificateError, ValidationError
from .naming import describe, name_text, same_name
from .fetchers import FetchError
from .ocsp_check import CLOCK_SKEW
from .signatures import UnsupportedSignatureAlgorithm, verify_signature

__all__ = ["issued_by", "check_crl"]


def issued_by(crl: Any, issuer: Any) -> bool:
    """True when ``crl`` names ``issuer`` as its issuer."""
    return same_name(crl["tbs_cert_list"]["issuer"], issuer.subject)


def _revocation_entry(crl: Any, serial_number: int) -> Optional[Any]:
    for entry in crl["tbs_cert_list"]["revoked_certificates"] or []:
        if entry["user_certificate"].native == serial_number:
            return entry
    return None


def check_crl(crl: Any, cert: Any, issuer: Any, source: str, now: datetime.datetime) -> None:
    """Check ``crl`` for ``cert`` issued by ``issuer``; returns nothing when the certificate is not listed."""
    tbs = crl["tbs_cert_list"]
    if not issued_by(crl, issuer):
        raise FetchError("CRL from %s is issued by %s, not by %s, the issuer of %s"
                         % (source, name_text(tbs["issuer"]), name_text(issuer.subject),
                            describe(cert)))
    try:
        valid = verify_signature(issuer.public_key, tbs.dump(), crl["signature"].native,
                                 crl["signature_algorithm"])
    except UnsupportedSignatureAlgorithm as exc:
        raise ValidationError("CRL from %s cannot be checked: %s" % (source, exc))
    if not valid:
        raise ValidationError("CRL from %s is signed with the wrong key: it does not verify with the "
                              "certificate of its issuer %s" % (source, name_text(issuer.subject)))
    if crl.delta_crl_indicator_value is not None:
        raise FetchError("CRL from %s is a delta CRL, not a complete one" % source)
    entry = _revocation_entry(crl, cert.serial_number)
    if entry is not None:
        reason = entry.crl_reason_value.native if entry.crl_reason_value is not None else "unspecified"
        error = RevokedCertificateError(
            "certificate %s is revoked since %s (reason: %s), says the CRL from %s"
            % (describe(cert), entry["revocation_date"].native.isoformat(), reason, source))
        error.revoked_at = entry["revocation_date"].native
        raise error
    this_update = tbs["this_update"].native
    next_update = tbs["next_update"].native
    if this_update > now + CLOCK_SKEW:
        raise FetchError("CRL from %s is dated in the future (%s)" % (source, this_update.isoformat()))
    if next_update is not None and next_update < now - CLOCK_SKEW:
        raise FetchError("CRL from %s is stale (next update was due %s)" % (source, next_update.isoformat()))
