"""Routing of one sandbox: records each request, applies the fault switches,
and hands the request to the signing API, a timestamp server, OCSP, CRLs or AIA.
"""

from __future__ import annotations

import base64
import binascii
import hmac
import threading
from typing import Callable, Optional
from urllib.parse import unquote

from .aia import AIACertificates
from .config import SandboxConfig
from .crl import build_crl
from .faults import Faults, OutageRule
from .ocsp import OCSPResponder
from .paths import (AIA_PREFIX, AUTH_TSA_PATH, CRL_PREFIX, OCSP_PREFIX, OPEN_TSA_PATH,
                    SERVICE_PATHS)
from .pki import SandboxPKI
from .revocation import Revocations
from .server import DROP, Answer, RecordedRequest, Response
from .signing_api import SigningAPI
from .tsa import TimestampAuthority

__all__ = ["SandboxApp"]

_TSA_REALM = 'Basic realm="Corvane Sandbox TSA", charset="UTF-8"'


class SandboxApp:
    """The request handler behind the HTTP server."""

    def __init__(self, config: SandboxConfig, pki: SandboxPKI, faults: Faults,
                 revocations: Revocations, tsa_url: str, stopping: threading.Event,
                 log: Optional[Callable[[str], object]]) -> None:
        self.config = config
        self.pki = pki
        self.faults = faults
        self.revocations = revocations
        self.stopping = stopping
        self._log = log
        self.signing_api = SigningAPI(config, pki, faults, tsa_url)
        self.tsa = TimestampAuthority(pki.tsa_certificate, pki.tsa_key)
        self.ocsp = OCSPResponder(revocations)
        self.aia = AIACertificates(pki)
        self._requests: list[RecordedRequest] = []
        self._requests_lock = threading.Lock()

    # -- recorded requests --------------------------------------------------

    def recorded(self) -> list[RecordedRequest]:
        with self._requests_lock:
            return list(self._requests)

    def clear_recorded(self) -> None:
        with self._requests_lock:
            del self._requests[:]

    def log(self, line: str) -> None:
        if self._log is not None:
            self._log(line)

    # -- dispatch -----------------------------------------------------------

    def handle(self, request: RecordedRequest) -> Answer:
        with self._requests_lock:
            self._requests.append(request)
        rule = self.faults.path_rule(request.path)
        if rule is not None:
            if rule.delay:
                # Ends early when the sandbox stops, so shutdown never waits on it.
                self.stopping.wait(rule.delay)
            if rule.drop:
                return DROP
            # Set together by Faults.respond.
            if rule.status is not None and rule.content_type is not None:
                return Response(rule.status, rule.body, rule.content_type)
        path = request.path
        if path in SERVICE_PATHS:
            return self.signing_api.handle(request)
        if path == AUTH_TSA_PATH:
            return self._timestamp(request, authenticated=True)
        if path == OPEN_TSA_PATH:
            return self._timestamp(request, authenticated=False)
        if path.startswith(OCSP_PREFIX):
            return self._ocsp(request, path[len(OCSP_PREFIX):])
        if path.startswith(CRL_PREFIX):
            return self._crl(request, path[len(CRL_PREFIX):])
        if path.startswith(AIA_PREFIX):
            return self._aia(request, path[len(AIA_PREFIX):])
        return Response.text(404, "nothing is served at %s" % path)

    @staticmethod
    def _outage(rule: OutageRule) -> Answer:
        if rule.how == "drop":
            return DROP
        return Response.text(rule.status, "service unavailable")

    # -- timestamp servers --------------------------------------------------

    def _basic_credentials_valid(self, header: Optional[str]) -> bool:
        if not header or not header.startswith("Basic "):
            return False
        try:
            decoded = base64.b64decode(header[len("Basic "):].strip(), validate=True)
            username, _, password = decoded.decode("utf-8").partition(":")
        except (binascii.Error, UnicodeDecodeError, ValueError):
            return False
        valid = False
        for tenant in self.config.tenants:
            assert tenant.timestamp_password is not None, "the sandbox fills every password at start"
            # Check every tenant without stopping early, comparing in constant time.
            same_user = hmac.compare_digest(username.encode("utf-8"),
                                            tenant.timestamp_username.encode("utf-8"))
            same_password = hmac.compare_digest(password.encode("utf-8"),
                                                tenant.timestamp_password.encode("utf-8"))
            valid |= same_user and same_password
        return valid

    def _timestamp(self, request: RecordedRequest, authenticated: bool) -> Answer:
        fault = self.faults.tsa_fault()
        if fault is not None and fault[0] == "http_error":
            return Response.text(fault[1], "timestamp server error")
        if authenticated and not self._basic_credentials_valid(request.headers.get("Authorization")):
            return Response.text(401, "timestamp server credentials required",
                                 headers={"WWW-Authenticate": _TSA_REALM})
        if request.method != "POST":
            return Response.text(405, "POST a DER TimeStampReq")
        return Response(200, self.tsa.respond(request.body, fault), "application/timestamp-reply")

    # -- OCSP, CRLs, AIA ----------------------------------------------------

    def _ocsp(self, request: RecordedRequest, rest: str) -> Answer:
        name, _, encoded = rest.partition("/")
        authority = self.pki.authority(name)
        if authority is None:
            return Response.text(404, "no OCSP responder %r" % name)
        fault = self.faults.ocsp_fault()
        if isinstance(fault, OutageRule):
            return self._outage(fault)
        if request.method == "POST" and not encoded:
            der = request.body
        elif request.method == "GET" and encoded:
            try:
                der = base64.b64decode(unquote(encoded), validate=True)
            except (binascii.Error, ValueError):
                der = b""
        else:
            return Response.text(405, "POST an OCSP request here, or GET it Base64 below this path")
        response = self.ocsp.respond(authority, der, wrong_key=(fault == "wrong_key"))
        return Response(200, response, "application/ocsp-response")

    def _crl(self, request: RecordedRequest, file_name: str) -> Answer:
        authority = None
        if file_name.endswith(".crl"):
            authority = self.pki.authority(file_name[:-len(".crl")])
        if authority is None:
            return Response.text(404, "no CRL %r" % file_name)
        fault = self.faults.crl_fault()
        if isinstance(fault, OutageRule):
            return self._outage(fault)
        if request.method != "GET":
            return Response.text(405, "GET the CRL")
        return Response(200, build_crl(authority, self.revocations), "application/pkix-crl")

    def _aia(self, request: RecordedRequest, file_name: str) -> Answer:
        fault = self.faults.aia_fault()
        if isinstance(fault, OutageRule):
            return self._outage(fault)
        der = self.aia.certificate(file_name, loop=(fault == "loop"))
        if der is None:
            return Response.text(404, "no certificate %r" % file_name)
        if request.method != "GET":
            return Response.text(405, "GET the certificate")
        return Response(200, der, "application/pkix-cert")
