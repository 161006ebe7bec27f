"""Fault switches of one running sandbox.

Tests flip them through ``sandbox.faults``; ``clear()`` turns all of them off.
They are read by the server threads on every request, under a lock, so a
switch takes effect with the next request.

Any path (``path`` matches the request path exactly or as a prefix ending
at a "/", e.g. "/ocsp/signer-ca" also covers its GET requests):

    respond(path, status, body="", content_type="text/plain; charset=utf-8")
    delay(path, seconds)          wait before answering (ends early on shutdown)
    drop(path)                    close the connection without any response

Signing-service replies (``path`` None means all three service paths):

    reply_non_json(path=None)          200 with a body that is not JSON
    reply_without_result(path=None)    200 with a JSON object lacking "result"
    reply_null_result(path=None)       200 with {"result": null}
    signature_not_base64()             sign info: "signature" is not Base64
    signature_invalid()                sign info: a well-formed signature value
                                       that does not verify for the digest
    certificate_not_base64()           sign info: "certificate" is not Base64
    certificate_not_der()              sign info: Base64 of bytes that are no certificate
    credentials_missing(path=None)     sign/timestamp info: no "_t" member
    credentials_undecipherable(path=None)   "_t" that decrypt_data cannot open

Timestamp servers (both; setting one TSA fault replaces the previous one):

    tsa_reject(fail_info="system_failure", text=...)   status 2 (rejection)
    tsa_wrong_nonce()                  granted token with a nonce not the one asked
    tsa_wrong_imprint()                granted token over another message imprint
    tsa_http_error(status=500)         HTTP error instead of a TimeStampResp

Revocation and certificate sources (``how`` is "error", answering the HTTP
``status``, or "drop", closing the connection):

    ocsp_down(how="error", status=500)
    ocsp_wrong_key()       responses signed by a key that is neither the CA's nor
                           its delegated responder's (with a certificate for it
                           that the sandbox CAs did not issue)
    crl_down(how="error", status=500)
    aia_down(how="error", status=500)
    aia_loop()             the CA certificates served at the AIA URLs name issuers
                           whose certificates point back at them: no path ever
                           reaches a self-signed root

Revocation itself is not a fault switch: ``Sandbox.revoke(cert)``.
"""

from __future__ import annotations

import threading
from typing import Any, Optional, Tuple, Union

from .paths import SERVICE_PATHS, SIGN_INFO_PATH, TIMESTAMP_INFO_PATH

__all__ = ["Faults", "PathRule", "TSA_FAIL_INFOS"]

TSA_FAIL_INFOS = ("bad_alg", "bad_request", "bad_data_format", "time_not_available",
                  "unaccepted_policy", "unaccepted_extensions", "add_info_not_available",
                  "system_failure")

_HOWS = ("error", "drop")

# A timestamp-server fault: its kind ("reject", "wrong_nonce", "wrong_imprint",
# "http_error"), then that kind's arguments.
TsaFault = Tuple[Any, ...]
# A revocation or AIA source's fault: down, or the named misbehaviour.
SourceFault = Union["OutageRule", str, None]


class PathRule:
    """What to do with requests to one path; None fields are not set."""

    __slots__ = ("status", "body", "content_type", "delay", "drop")

    def __init__(self) -> None:
        self.status: Optional[int] = None
        self.body = b""
        self.content_type: Optional[str] = None
        self.delay: Optional[float] = None
        self.drop = False


class OutageRule:
    """A source that is down: answer ``status`` or, with how "drop", close."""

    __slots__ = ("how", "status")

    def __init__(self, how: str, status: int) -> None:
        if how not in _HOWS:
            raise ValueError("how must be one of %s, not %r" % (", ".join(_HOWS), how))
        _check_status(status)
        self.how = how
        self.status = status


def _check_status(status: object) -> None:
    if not isinstance(status, int) or isinstance(status, bool) or not 100 <= status <= 599:
        raise ValueError("HTTP status must be an int from 100 to 599, not %r" % (status,))


def _check_path(path: object) -> str:
    if not isinstance(path, str) or not path.startswith("/"):
        raise ValueError("path must be text starting with '/', not %r" % (path,))
    return path.rstrip("/") or "/"


def _service_paths(path: Optional[str], allowed: tuple[str, ...] = SERVICE_PATHS
                   ) -> tuple[str, ...]:
    if path is None:
        return allowed
    if path not in allowed:
        raise ValueError("%r is not one of %s" % (path, ", ".join(allowed)))
    return (path,)


class Faults:
    """The switches; see the module documentation for the list."""

    def __init__(self) -> None:
        self._lock = threading.Lock()
        self.clear()

    def clear(self) -> None:
        """Turn every switch off."""
        with self._lock:
            self._rules: dict[str, PathRule] = {}
            self._service_reply: dict[str, str] = {}
            self._sign_info: set[str] = set()
            self._credentials: dict[str, str] = {}
            self._tsa: Optional[TsaFault] = None
            self._ocsp: SourceFault = None
            self._crl: Optional[OutageRule] = None
            self._aia: SourceFault = None

    # -- any path -----------------------------------------------------------

    def _rule(self, path: str) -> PathRule:
        return self._rules.setdefault(_check_path(path), PathRule())

    def respond(self, path: str, status: int, body: Union[str, bytes, bytearray] = "",
                content_type: str = "text/plain; charset=utf-8") -> None:
        _check_status(status)
        if isinstance(body, str):
            body = body.encode("utf-8")
        if not isinstance(body, (bytes, bytearray)):
            raise ValueError("body must be text or bytes")
        with self._lock:
            rule = self._rule(path)
            rule.status, rule.body, rule.content_type = status, bytes(body), content_type

    def delay(self, path: str, seconds: float) -> None:
        if not isinstance(seconds, (int, float)) or seconds < 0:
            raise ValueError("delay must be a non-negative number of seconds")
        with self._lock:
            self._rule(path).delay = float(seconds)

    def drop(self, path: str) -> None:
        with self._lock:
            self._rule(path).drop = True

    # -- signing service ----------------------------------------------------

    def _set_service_reply(self, kind: str, path: Optional[str]) -> None:
        paths = _service_paths(path)
        with self._lock:
            for each in paths:
                self._service_reply[each] = kind

    def reply_non_json(self, path: Optional[str] = None) -> None:
        self._set_service_reply("non_json", path)

    def reply_without_result(self, path: Optional[str] = None) -> None:
        self._set_service_reply("no_result", path)

    def reply_null_result(self, path: Optional[str] = None) -> None:
        self._set_service_reply("null_result", path)

    def _set_sign_info(self, kind: str) -> None:
        with self._lock:
            self._sign_info.add(kind)

    def signature_not_base64(self) -> None:
        self._set_sign_info("signature_not_base64")

    def signature_invalid(self) -> None:
        self._set_sign_info("signature_invalid")

    def certificate_not_base64(self) -> None:
        self._set_sign_info("certificate_not_base64")

    def certificate_not_der(self) -> None:
        self._set_sign_info("certificate_not_der")

    def _set_credentials(self, kind: str, path: Optional[str]) -> None:
        paths = _service_paths(path, (SIGN_INFO_PATH, TIMESTAMP_INFO_PATH))
        with self._lock:
            for each in paths:
                self._credentials[each] = kind

    def credentials_missing(self, path: Optional[str] = None) -> None:
        self._set_credentials("missing", path)

    def credentials_undecipherable(self, path: Optional[str] = None) -> None:
        self._set_credentials("undecipherable", path)

    # -- timestamp servers --------------------------------------------------

    def tsa_reject(self, fail_info: str = "system_failure",
                   text: str = "request rejected by the sandbox") -> None:
        if fail_info not in TSA_FAIL_INFOS:
            raise ValueError("fail_info must be one of %s" % ", ".join(TSA_FAIL_INFOS))
        with self._lock:
            self._tsa = ("reject", fail_info, text)

    def tsa_wrong_nonce(self) -> None:
        with self._lock:
            self._tsa = ("wrong_nonce",)

    def tsa_wrong_imprint(self) -> None:
        with self._lock:
            self._tsa = ("wrong_imprint",)

    def tsa_http_error(self, status: int = 500) -> None:
        _check_status(status)
        with self._lock:
            self._tsa = ("http_error", status)

    # -- revocation and AIA -------------------------------------------------

    def ocsp_down(self, how: str = "error", status: int = 500) -> None:
        rule = OutageRule(how, status)
        with self._lock:
            self._ocsp = rule

    def ocsp_wrong_key(self) -> None:
        with self._lock:
            self._ocsp = "wrong_key"

    def crl_down(self, how: str = "error", status: int = 500) -> None:
        rule = OutageRule(how, status)
        with self._lock:
            self._crl = rule

    def aia_down(self, how: str = "error", status: int = 500) -> None:
        rule = OutageRule(how, status)
        with self._lock:
            self._aia = rule

    def aia_loop(self) -> None:
        with self._lock:
            self._aia = "loop"

    # -- read by the server -------------------------------------------------

    def path_rule(self, path: str) -> Optional[PathRule]:
        """The rule of the longest configured path that covers ``path``, or None."""
        with self._lock:
            best: Optional[tuple[str, PathRule]] = None
            for configured, rule in self._rules.items():
                covers = (path == configured or configured == "/"
                          or path.startswith(configured + "/"))
                if covers and (best is None or len(configured) > len(best[0])):
                    best = (configured, rule)
            if best is None:
                return None
            snapshot = PathRule()
            for name in PathRule.__slots__:
                setattr(snapshot, name, getattr(best[1], name))
            return snapshot

    def service_reply(self, path: str) -> Optional[str]:
        with self._lock:
            return self._service_reply.get(path)

    def sign_info_tampering(self) -> frozenset[str]:
        with self._lock:
            return frozenset(self._sign_info)

    def credentials_fault(self, path: str) -> Optional[str]:
        with self._lock:
            return self._credentials.get(path)

    def tsa_fault(self) -> Optional[TsaFault]:
        with self._lock:
            return self._tsa

    def ocsp_fault(self) -> SourceFault:
        with self._lock:
            return self._ocsp

    def crl_fault(self) -> Optional[OutageRule]:
        with self._lock:
            return self._crl

    def aia_fault(self) -> SourceFault:
        with self._lock:
            return self._aia

    def active(self) -> list[str]:
        """Names of the switches that are on (for messages and debugging)."""
        with self._lock:
            names = ["path %s" % path for path in sorted(self._rules)]
            names += ["%s on %s" % (kind, path) for path, kind in sorted(self._service_reply.items())]
            names += sorted(self._sign_info)
            names += ["credentials %s on %s" % (kind, path)
                      for path, kind in sorted(self._credentials.items())]
            for label, value in (("tsa", self._tsa), ("ocsp", self._ocsp),
                                 ("crl", self._crl), ("aia", self._aia)):
                if value is not None:
                    names.append(label)
            return names
