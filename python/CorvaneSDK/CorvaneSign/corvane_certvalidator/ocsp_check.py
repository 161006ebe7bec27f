"""OCSP requests and the checks an OCSP response must pass.

A response is usable for a certificate when the responder answered
"successful", it carries a single response whose CertID is the certificate's,
it is signed by the issuer (or by a responder the issuer certified with
id-kp-OCSPSigning), and its thisUpdate/nextUpdate window covers now.

Problems that only make the source unusable (an error status, another
certificate's answer, "unknown", a stale answer) raise FetchError so the
caller can try the CRL; a signature that does not verify is never a
fallback case and raises ValidationError; a revoked status raises
RevokedCertificateError.
"""

import datetime
import hashlib
from typing import Any, Optional, Tuple

from asn1crypto import ocsp

from ..corvane_signature.asn1_values import encoded_once
from ..corvane_signature.exceptions import RevokedCertificateError, ValidationError
from .chain import is_issued_by
from .fetchers import FetchError
from .naming import describe, name_text, same_name
from .purposes import OCSP_SIGNING
from .signatures import UnsupportedSignatureAlgorithm, verify_signature

__all__ = ["ocsp_request_for", "responds_for", "check_ocsp_response", "CLOCK_SKEW"]

CLOCK_SKEW = datetime.timedelta(minutes=5)


def _key_bits(cert: Any) -> bytes:
    bits: bytes = cert.public_key["public_key"].contents[1:]  # BIT STRING value without the unused-bits byte
    return bits


def _cert_id_matches(cert_id: Any, cert: Any, issuer: Any) -> bool:
    algo = cert_id["hash_algorithm"]["algorithm"].native
    try:
        # The name hash is over the certificate's issuer field; a responder
        # may have hashed its CA's subject instead, which names the same CA
        # but may be encoded differently.
        name_hashes = {hashlib.new(algo, name.dump()).digest() for name in (cert.issuer, issuer.subject)}
        key_hash = hashlib.new(algo, _key_bits(issuer)).digest()
    except ValueError:
        return False
    return bool(cert_id["serial_number"].native == cert.serial_number
                and cert_id["issuer_name_hash"].native in name_hashes
                and cert_id["issuer_key_hash"].native == key_hash)


def ocsp_request_for(cert: Any, issuer: Any) -> Any:
    """An OCSPRequest (SHA-1 CertID, the identifier every responder knows) for ``cert``."""
    try:
        # cryptography's builder gives the same bytes as asn1crypto's for a
        # fraction of the cost; it would warn (in the user's output) about a
        # serial number that is not positive.
        if cert.serial_number > 0 and issuer.serial_number > 0:
            return ocsp.OCSPRequest.load(built_by_cryptography(cert, issuer))
    except Exception:  # noqa: BLE001 - a certificate it cannot read: asn1crypto builds the request
        pass
    return built_by_asn1crypto(cert, issuer)


def built_by_cryptography(cert: Any, issuer: Any) -> bytes:
    """The DER of ``ocsp_request_for(cert, issuer)``, built by cryptography."""
    from cryptography.hazmat.primitives import hashes, serialization
    from cryptography.x509 import ocsp as rust_ocsp

    from .path_policy import to_cryptography  # loads cryptography.x509: only where used

    builder = rust_ocsp.OCSPRequestBuilder().add_certificate(to_cryptography(cert), to_cryptography(issuer),
                                                             hashes.SHA1())
    return builder.build().public_bytes(serialization.Encoding.DER)


def built_by_asn1crypto(cert: Any, issuer: Any) -> Any:
    """``ocsp_request_for(cert, issuer)``, built by asn1crypto."""
    # Encoded from the inside out: asn1crypto re-encodes every nested value
    # built from Python data again for each level above it.
    cert_id = encoded_once(ocsp.CertId, {
        "hash_algorithm": {"algorithm": "sha1"},
        "issuer_name_hash": hashlib.sha1(cert.issuer.dump()).digest(),
        "issuer_key_hash": hashlib.sha1(_key_bits(issuer)).digest(),
        "serial_number": cert.serial_number,
    })
    return encoded_once(ocsp.OCSPRequest, {"tbs_request": {"request_list": [{"req_cert": cert_id}]}})


def _single_response(response: Any, cert: Any, issuer: Any) -> Optional[Any]:
    basic = response.basic_ocsp_response
    for single in basic["tbs_response_data"]["responses"]:
        if _cert_id_matches(single["cert_id"], cert, issuer):
            return single
    return None


def responds_for(response: Any, cert: Any, issuer: Any) -> bool:
    """True when ``response`` is a successful basic response that speaks about ``cert``."""
    try:
        return bool(response["response_status"].native == "successful"
                    and _single_response(response, cert, issuer) is not None)
    except (ValueError, TypeError, KeyError, AttributeError):
        return False


def _responder_matches(responder_id: Any, cert: Any) -> bool:
    if responder_id.name == "by_name":
        return same_name(responder_id.chosen, cert.subject)
    return bool(responder_id.chosen.native == hashlib.sha1(_key_bits(cert)).digest())


def _response_signer(basic: Any, issuer: Any, cert: Any, source: str,
                     now: datetime.datetime) -> Tuple[Any, Optional[Any]]:
    """The certificate whose key must have signed ``basic``: the issuer or its delegated responder."""
    responder_id = basic["tbs_response_data"]["responder_id"]
    if _responder_matches(responder_id, issuer):
        return issuer, None
    for candidate in basic["certs"] or []:
        if not _responder_matches(responder_id, candidate):
            continue
        if not is_issued_by(candidate, issuer):
            raise ValidationError(
                "OCSP response from %s for %s is signed by %s, which its issuer %s did not certify "
                "as an OCSP responder" % (source, describe(cert), describe(candidate),
                                          name_text(issuer.subject)))
        # A delegated responder answers only for the CA that certified it for that.
        from .path_policy import PathError, validate_path  # loads cryptography.x509: only where used

        try:
            validate_path(candidate, [], [issuer], now, OCSP_SIGNING)
        except PathError as error:
            raise ValidationError("OCSP response from %s for %s is signed by %s, which its issuer %s did "
                                  "not certify as an OCSP responder: %s"
                                  % (source, describe(cert), describe(candidate), name_text(issuer.subject),
                                     error))
        return candidate, candidate
    raise ValidationError("OCSP response from %s for %s is signed by a responder that is neither "
                          "its issuer %s nor certified by it" % (source, describe(cert),
                                                                 name_text(issuer.subject)))


def check_ocsp_response(response: Any, cert: Any, issuer: Any, source: str,
                        now: datetime.datetime) -> Optional[Any]:
    """Check ``response`` for ``cert``; returns the delegated responder certificate or None."""
    status = response["response_status"].native
    if status != "successful":
        raise FetchError("OCSP responder %s answered %s" % (source, status))
    try:
        basic = response.basic_ocsp_response
    except (ValueError, KeyError, AttributeError):
        raise FetchError("OCSP responder %s sent no basic OCSP response" % source)
    single = _single_response(response, cert, issuer)
    if single is None:
        raise FetchError("OCSP responder %s answered for another certificate than %s"
                         % (source, describe(cert)))
    signer, delegated = _response_signer(basic, issuer, cert, source, now)
    try:
        valid = verify_signature(signer.public_key, basic["tbs_response_data"].dump(),
                                 basic["signature"].native, basic["signature_algorithm"])
    except UnsupportedSignatureAlgorithm as exc:
        raise ValidationError("OCSP response from %s for %s cannot be checked: %s"
                              % (source, describe(cert), exc))
    if not valid:
        raise ValidationError("OCSP response from %s for %s is signed with the wrong key: it does not "
                              "verify with the certificate of %s" % (source, describe(cert),
                                                                      name_text(signer.subject)))
    cert_status = single["cert_status"]
    if cert_status.name == "revoked":
        info = cert_status.chosen
        reason = info["revocation_reason"].native if info["revocation_reason"] else "unspecified"
        error = RevokedCertificateError(
            "certificate %s is revoked since %s (reason: %s), says OCSP responder %s"
            % (describe(cert), info["revocation_time"].native.isoformat(), reason, source))
        error.revoked_at = info["revocation_time"].native
        raise error
    if cert_status.name != "good":
        raise FetchError("OCSP responder %s does not know the status of %s" % (source, describe(cert)))
    this_update = single["this_update"].native
    next_update = single["next_update"].native
    if this_update > now + CLOCK_SKEW:
        raise FetchError("OCSP response from %s for %s is dated in the future (%s)"
                         % (source, describe(cert), this_update.isoformat()))
    if next_update is not None and next_update < now - CLOCK_SKEW:
        raise FetchError("OCSP response from %s for %s is stale (next update was due %s)"
                         % (source, describe(cert), next_update.isoformat()))
    return delegated
