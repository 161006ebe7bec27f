"""OCSP responder for the sandbox CAs.

One responder per CA: it answers "good" for serials the CA issued, "revoked"
for those marked revoked, and "unknown" for anything else (another issuer, an
unknown serial, an unsupported CertID hash).  The issuing CAs' responses are
signed by their delegated responders, the root's by the root itself.  A
request nonce is echoed.
"""

from __future__ import annotations

import datetime
import hashlib
import threading
from typing import Any, Optional

from asn1crypto import ocsp
from cryptography import x509
from cryptography.hazmat.primitives import hashes
from cryptography.x509.oid import ExtendedKeyUsageOID, NameOID

from . import keys
from .keys import PrivateKey
from .pki import Authority, to_asn1, utc_now
from .revocation import Revocations

__all__ = ["OCSPResponder", "malformed_request"]

_VALIDITY = datetime.timedelta(hours=12)
_CERT_ID_HASHES = ("sha1", "sha256", "sha384", "sha512")


def malformed_request() -> bytes:
    der: bytes = ocsp.OCSPResponse({"response_status": "malformed_request"}).dump()
    return der


def _rogue_signer() -> tuple[x509.Certificate, PrivateKey]:
    """A responder key and self-signed certificate that no sandbox CA vouches for."""
    key = keys.new_key(keys.EC)
    name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "Rogue OCSP Responder"),
                      x509.NameAttribute(NameOID.ORGANIZATION_NAME, "Corvane Sandbox")])
    now = utc_now()
    certificate = (x509.CertificateBuilder()
                   .subject_name(name).issuer_name(name).public_key(key.public_key())
                   .serial_number(x509.random_serial_number())
                   .not_valid_before(now - datetime.timedelta(hours=1))
                   .not_valid_after(now + datetime.timedelta(days=30))
                   .add_extension(x509.ExtendedKeyUsage([ExtendedKeyUsageOID.OCSP_SIGNING]), False)
                   .sign(key, hashes.SHA256()))
    return certificate, key


class OCSPResponder:
    """Builds OCSP responses for the authorities of one SandboxPKI."""

    def __init__(self, revocations: Revocations) -> None:
        self._revocations = revocations
        self._rogue: Optional[tuple[x509.Certificate, PrivateKey]] = None
        self._rogue_lock = threading.Lock()

    def _rogue_signer(self) -> tuple[x509.Certificate, PrivateKey]:
        with self._rogue_lock:
            if self._rogue is None:
                self._rogue = _rogue_signer()
            return self._rogue

    def respond(self, authority: Authority, request_der: bytes, wrong_key: bool = False) -> bytes:
        """DER OCSPResponse from ``authority``'s responder for a DER OCSPRequest."""
        try:
            request = ocsp.OCSPRequest.load(request_der, strict=True)
            cert_ids = [entry["req_cert"] for entry in request["tbs_request"]["request_list"]]
            for cert_id in cert_ids:
                cert_id.native  # parse now: a broken CertID is a malformed request
            nonce = request.nonce_value
        except (ValueError, TypeError, KeyError):
            return malformed_request()
        if not cert_ids:
            return malformed_request()

        now = utc_now().replace(microsecond=0)
        responses = [self._single_response(authority, cert_id, now) for cert_id in cert_ids]
        if wrong_key:
            signer_certificate, signer_key = self._rogue_signer()
        else:
            signer_certificate, signer_key = authority.ocsp_signer
        signer = to_asn1(signer_certificate)

        tbs: dict[str, Any] = {
            "version": "v1",
            "responder_id": ocsp.ResponderId(name="by_key", value=signer.public_key.sha1),
            "produced_at": now,
            "responses": responses,
        }
        if nonce is not None:
            tbs["response_extensions"] = [{"extn_id": "nonce", "extn_value": nonce.native}]
        response_data = ocsp.ResponseData(tbs)
        basic: dict[str, Any] = {
            "tbs_response_data": response_data,
            "signature_algorithm": keys.signed_digest_algorithm(signer_key),
            "signature": keys.sign(signer_key, response_data.dump()),
        }
        if signer_certificate is not authority.certificate:
            # A delegated (or rogue) responder sends its certificate along.
            basic["certs"] = [signer]
        der: bytes = ocsp.OCSPResponse({
            "response_status": "successful",
            "response_bytes": {"response_type": "basic_ocsp_response",
                               "response": ocsp.BasicOCSPResponse(basic)},
        }).dump()
        return der

    def _single_response(self, authority: Authority, cert_id: Any,
                         now: datetime.datetime) -> dict[str, Any]:
        return {
            "cert_id": cert_id,
            "cert_status": self._status(authority, cert_id),
            "this_update": now,
            "next_update": now + _VALIDITY,
        }

    def _status(self, authority: Authority, cert_id: Any) -> Any:
        algorithm = cert_id["hash_algorithm"]["algorithm"].native
        if algorithm not in _CERT_ID_HASHES:
            return ocsp.CertStatus(name="unknown", value=None)
        ca = authority.asn1
        name_hash = hashlib.new(algorithm, ca.subject.dump()).digest()
        key_hash = hashlib.new(algorithm, bytes(ca.public_key["public_key"])).digest()
        serial = cert_id["serial_number"].native
        if (cert_id["issuer_name_hash"].native != name_hash
                or cert_id["issuer_key_hash"].native != key_hash
                or serial not in authority.issued):
            return ocsp.CertStatus(name="unknown", value=None)
        revoked = self._revocations.status(serial)
        if revoked is None:
            return ocsp.CertStatus(name="good", value=None)
        when, reason = revoked
        info: dict[str, Any] = {"revocation_time": when}
        if reason is not None:
            info["revocation_reason"] = reason
        return ocsp.CertStatus(name="revoked", value=info)
