"""The signing service's three JSON endpoints.

POST with a JSON object body and the API token in "X-Corvane-Authorization".
Status 200 answers {"result": ...}; failures answer a short text body:

    401  missing or unknown API token
    400  body not a JSON object, "tenant_id" not text, bad "user_id"/"email",
         "pki" not "rsa"/"ecdsa", "digest_b64" not Base64 of 32 bytes
    403  the token belongs to another tenant than "tenant_id"
    404  no such user id or e-mail address in the tenant
    405  not POST

Sign info signs the DER of the canonical PAdES signed attributes built for the
received digest and the user's certificate; "_t" is the tenant's timestamp
credentials enciphered under the caller's token.
"""

from __future__ import annotations

import base64
import binascii
import hashlib
import hmac
import json
from typing import Any, Callable, Dict

from ..CorvaneSign.corvane_signature.sign.attributes import pades_signed_attributes
from ..service import encrypt_data
from . import keys
from .config import SandboxConfig, Tenant, User
from .faults import Faults
from .paths import SIGN_INFO_PATH, TIMESTAMP_INFO_PATH, USER_INFO_PATH
from .pki import PKI_KEY_KINDS, SandboxPKI
from .server import RecordedRequest, Response

__all__ = ["AUTH_HEADER", "SigningAPI", "ServiceError", "sign_digest"]

AUTH_HEADER = "X-Corvane-Authorization"
_DIGEST_SIZE = 32

# The JSON object a request carries.
Body = Dict[str, Any]


class ServiceError(Exception):
    """A refusal: HTTP ``status`` with a text ``message`` (never a secret)."""

    def __init__(self, status: int, message: str) -> None:
        super().__init__(message)
        self.status = status
        self.message = message


def sign_digest(pki: SandboxPKI, user: User, pki_name: str,
                digest: bytes | bytearray) -> tuple[bytes, Any]:
    """(signature value, asn1crypto certificate) of ``user`` over ``digest``'s attributes."""
    if pki_name not in PKI_KEY_KINDS:
        raise ServiceError(400, "pki must be one of %s" % ", ".join(sorted(PKI_KEY_KINDS)))
    if not isinstance(digest, (bytes, bytearray)) or len(digest) != _DIGEST_SIZE:
        raise ServiceError(400, "digest must be %d bytes of SHA-256" % _DIGEST_SIZE)
    identity = pki.signing_identity(user.user_id, pki_name)
    certificate = pki.signer_certificate(user.user_id, pki_name)
    # Both come from one table: a user without the one has no certificate either.
    assert identity is not None
    _certificate, key = identity
    attributes = pades_signed_attributes(bytes(digest), certificate)
    return keys.sign(key, attributes.dump()), certificate


def _decode_digest(value: object) -> bytes:
    if not isinstance(value, str):
        raise ServiceError(400, "digest_b64 must be Base64 text")
    try:
        digest = base64.b64decode(value.encode("ascii"), validate=True)
    except (UnicodeEncodeError, binascii.Error):
        raise ServiceError(400, "digest_b64 is not valid Base64") from None
    if len(digest) != _DIGEST_SIZE:
        raise ServiceError(400, "digest_b64 must encode %d bytes, not %d"
                           % (_DIGEST_SIZE, len(digest)))
    return digest


def _optional_text(body: Body, name: str) -> str | None:
    value = body.get(name)
    if value is not None and (not isinstance(value, str) or not value):
        raise ServiceError(400, "%s must be non-empty text" % name)
    return value


_CANNED_REPLIES = {
    "non_json": Response(200, b"<html><body>Service temporarily unavailable</body></html>",
                         "text/html; charset=utf-8"),
    "no_result": Response.json({"status": "ok", "message": "no result member"}),
    "null_result": Response.json({"result": None}),
}


class SigningAPI:
    """Answers the user-info, sign-info and timestamp-info requests."""

    def __init__(self, config: SandboxConfig, pki: SandboxPKI, faults: Faults,
                 tsa_url: str) -> None:
        self._config = config
        self._pki = pki
        self._faults = faults
        self._tsa_url = tsa_url
        self._routes: dict[str, Callable[[Tenant, str, Body], Any]] = {
            USER_INFO_PATH: self._user_info,
            SIGN_INFO_PATH: self._sign_info,
            TIMESTAMP_INFO_PATH: self._timestamp_info,
        }

    def handle(self, request: RecordedRequest) -> Response:
        canned = self._faults.service_reply(request.path)
        if canned is not None:
            return _CANNED_REPLIES[canned]
        try:
            if request.method != "POST":
                raise ServiceError(405, "use POST")
            token = request.headers.get(AUTH_HEADER, "")
            tenant = self._authenticate(token)
            body = self._body(request.body)
            tenant_id = body.get("tenant_id")
            if not isinstance(tenant_id, str):
                raise ServiceError(400, "tenant_id must be text")
            if tenant_id != tenant.tenant_id:
                raise ServiceError(403, "the API token is not valid for this tenant")
            result = self._routes[request.path](tenant, token, body)
        except ServiceError as refusal:
            return Response.text(refusal.status, refusal.message)
        return Response.json({"result": result})

    def _authenticate(self, token: str) -> Tenant:
        if token:
            presented = token.encode("utf-8", "surrogateescape")
            for tenant in self._config.tenants:
                assert tenant.api_token is not None, "the sandbox fills every token at start"
                if hmac.compare_digest(presented, tenant.api_token.encode("utf-8")):
                    return tenant
        raise ServiceError(401, "missing or unknown API token")

    @staticmethod
    def _body(raw: bytes) -> Body:
        try:
            body = json.loads(raw.decode("utf-8"))
        except (UnicodeDecodeError, ValueError):
            raise ServiceError(400, "request body is not JSON") from None
        if not isinstance(body, dict):
            raise ServiceError(400, "request body must be a JSON object")
        return body

    def _user(self, tenant: Tenant, body: Body, by_email: bool) -> User:
        user_id = _optional_text(body, "user_id")
        if user_id is not None:
            user = tenant.user_by_id(user_id)
            if user is None:
                raise ServiceError(404, "no user %r in this tenant" % user_id)
            return user
        email = _optional_text(body, "email") if by_email else None
        if email is not None:
            user = tenant.user_by_email(email)
            if user is None:
                raise ServiceError(404, "no user with that e-mail address in this tenant")
            return user
        return tenant.default_user

    def _credentials(self, tenant: Tenant, token: str, path: str) -> dict[str, str]:
        fault = self._faults.credentials_fault(path)
        if fault == "missing":
            return {}
        plaintext = json.dumps({
            "ts_url": self._tsa_url,
            "ts_username": tenant.timestamp_username,
            "ts_password": tenant.timestamp_password,
        }).encode("utf-8")
        # Undecipherable: sealed under a key the caller does not have.
        key = token if fault is None else token + "\x00not-the-token"
        return {"_t": encrypt_data(plaintext, key)}

    def _user_info(self, tenant: Tenant, token: str, body: Body) -> dict[str, str | None]:
        return self._user(tenant, body, by_email=True).record()

    def _sign_info(self, tenant: Tenant, token: str, body: Body) -> dict[str, str]:
        pki_name = body.get("pki")
        if pki_name not in PKI_KEY_KINDS:
            raise ServiceError(400, "pki must be one of %s" % ", ".join(sorted(PKI_KEY_KINDS)))
        digest = _decode_digest(body.get("digest_b64"))
        user = self._user(tenant, body, by_email=False)
        tampering = self._faults.sign_info_tampering()
        if "signature_invalid" in tampering:
            # A real signature by the right key, over another digest's attributes.
            digest = hashlib.sha256(b"not the document" + digest).digest()
        signature, certificate = sign_digest(self._pki, user, pki_name, digest)
        signature_text = base64.b64encode(signature).decode("ascii")
        certificate_text = base64.b64encode(certificate.dump()).decode("ascii")
        if "signature_not_base64" in tampering:
            signature_text = "%%% signature withheld %%%"
        if "certificate_not_base64" in tampering:
            certificate_text = "-- not base64: certificate withheld --"
        if "certificate_not_der" in tampering:
            certificate_text = base64.b64encode(b"this is not a DER certificate").decode("ascii")
        result = {"signature": signature_text, "certificate": certificate_text,
                  "user_id": user.user_id, "pki": pki_name}
        result.update(self._credentials(tenant, token, SIGN_INFO_PATH))
        return result

    def _timestamp_info(self, tenant: Tenant, token: str, body: Body) -> dict[str, str]:
        return self._credentials(tenant, token, TIMESTAMP_INFO_PATH)
