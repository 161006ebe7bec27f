"""Local stand-in for the Corvane signing service, for development and tests.

One HTTP server on 127.0.0.1 with a generated test PKI serves:

    POST /api/openapi/sdk-user-info.json       user record by "user_id", "email"
                                               or the tenant's default user
    POST /api/openapi/sdk-sign-info.json       signature over the canonical PAdES
                                               signed attributes, certificate, "_t"
    POST /api/openapi/sdk-timestamp-info.json  "_t" only
    POST /tsa/rfc3161                          RFC 3161 TSA, HTTP Basic credentials
    POST /TSS/RFC3161sha2TS                    RFC 3161 TSA, no credentials
    POST /ocsp/<ca>, GET /ocsp/<ca>/<base64>   OCSP for root, signer-ca, tsa-ca
    GET  /crl/<ca>.crl                         DER CRL of each CA
    GET  /aia/<ca>.cer                         DER CA certificate (AIA caIssuers)

Usage in tests::

    from CorvaneSDK.sandbox import Sandbox
    with Sandbox() as sb:
        sb.url, sb.tenant_id, sb.api_token, sb.users, sb.tsa_url, sb.ca_bundle_path
        sb.faults.reply_non_json()          # see below
        sb.revoke(sb.pki.signer_certificate(sb.users[0]["user_id"]))

From a shell: ``python -m CorvaneSDK.sandbox [--port N] [--state-dir DIR]
[--config FILE]``.  Each request is logged to stderr as method, path and
outcome: never a header, so never a token or a password.

Fault switches (``sb.faults``; ``sb.faults.clear()`` turns all off,
``sb.reset()`` also forgets revocations and recorded requests):

Any path (``path`` covers the path itself and everything below it):
    respond(path, status, body="", content_type=...)  fixed answer
    delay(path, seconds)                              answer late
    drop(path)                                        close without answering
Signing service (``path`` None: every service path):
    reply_non_json(path=None), reply_without_result(path=None),
    reply_null_result(path=None)                      broken 200 envelopes
    signature_not_base64(), signature_invalid()       sign info "signature"
    certificate_not_base64(), certificate_not_der()   sign info "certificate"
    credentials_missing(path=None), credentials_undecipherable(path=None)   "_t"
Timestamp servers (both):
    tsa_reject(fail_info="system_failure", text=...), tsa_wrong_nonce(),
    tsa_wrong_imprint(), tsa_http_error(status=500)
Revocation and AIA (``how`` "error" answers ``status``, "drop" closes):
    ocsp_down(how="error", status=500), ocsp_wrong_key(),
    crl_down(how="error", status=500),
    aia_down(how="error", status=500), aia_loop()
Revocation: ``sb.revoke(certificate_or_serial, reason=None)``.

Configuration: see ``CorvaneSDK.sandbox.config`` (JSON; built-in default with
two tenants, one user without a division).  PKI layout and what a state
directory keeps: see ``CorvaneSDK.sandbox.pki``.
"""

from .config import DEFAULT_CONFIG, SandboxConfigError
from .core import Sandbox
from .faults import Faults
from .paths import (AUTH_TSA_PATH, OPEN_TSA_PATH, SIGN_INFO_PATH, TIMESTAMP_INFO_PATH,
                    USER_INFO_PATH)
from .server import RecordedRequest
from .tsa import POLICY_OID as TSA_POLICY_OID

__all__ = ["Sandbox", "Faults", "RecordedRequest", "SandboxConfigError", "DEFAULT_CONFIG",
           "USER_INFO_PATH", "SIGN_INFO_PATH", "TIMESTAMP_INFO_PATH", "AUTH_TSA_PATH",
           "OPEN_TSA_PATH", "TSA_POLICY_OID"]
