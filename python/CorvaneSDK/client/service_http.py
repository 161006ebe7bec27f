"""HTTP for the Client: sessions with a time-out and safe retries, and the
signing service's requests, which raise typed errors instead of printing.

Retries (with backoff) cover connection failures, time-outs, 429 and 5xx,
but only for requests that are safe to repeat: the user lookup, the
timestamp-credentials lookup and the library's own timestamp, OCSP, CRL and
certificate fetches. The signing request is repeated only when it could not
be sent at all (the connection was never made).
"""

from __future__ import annotations

from typing import Any, Dict, Optional, Tuple
from urllib.parse import urlsplit, urlunsplit

import requests
from requests.adapters import HTTPAdapter
from urllib3.exceptions import ConnectTimeoutError, NewConnectionError, ReadTimeoutError
from urllib3.util.retry import Retry

from .errors import CorvaneError, ServiceRefused, ServiceUnavailable
from .turns import WORK_TURN

__all__ = ["ServiceConnection", "retrying_session", "display_url"]

_RETRY_STATUSES = (429, 500, 502, 503, 504)
_BACKOFF = 0.25
# Enough of a refusal's text to say why, not a whole error page.
_MESSAGE_LIMIT = 500


def display_url(url: str) -> str:
    """``url`` without user name or password."""
    try:
        parts = urlsplit(url)
    except ValueError:
        return "<malformed URL>"
    host = parts.hostname or ""
    if parts.port is not None:
        host = "%s:%d" % (host, parts.port)
    return urlunsplit((parts.scheme, host, parts.path, parts.query, ""))


class _Session(requests.Session):
    """A session whose requests give the worker's turn away while they wait."""

    def send(self, request: requests.PreparedRequest, **kwargs: Any) -> requests.Response:
        with WORK_TURN.given_away():
            return super().send(request, **kwargs)


def retrying_session(retries: int, idempotent: bool = True) -> requests.Session:
    """A session that retries with backoff; for a request that must not be
    repeated once sent, only failures to connect are retried."""
    if idempotent:
        retry = Retry(total=retries, connect=retries, read=retries, status=retries, other=0,
                      allowed_methods=None, status_forcelist=_RETRY_STATUSES,
                      backoff_factor=_BACKOFF, raise_on_status=False, respect_retry_after_header=False)
    else:
        retry = Retry(total=retries, connect=retries, read=0, status=0, other=0,
                      backoff_factor=_BACKOFF, raise_on_status=False)
    session = _Session()
    adapter = HTTPAdapter(max_retries=retry)
    session.mount("http://", adapter)
    session.mount("https://", adapter)
    return session


def _timed_out(error: Exception) -> bool:
    # After retries, requests reports a last read time-out as a ConnectionError around urllib3's.
    reason = getattr(error.args[0], "reason", None) if error.args else None
    if isinstance(reason, NewConnectionError):
        return False  # refused or no route: urllib3 derives it from ConnectTimeoutError all the same
    return isinstance(error, requests.Timeout) or isinstance(reason, (ReadTimeoutError, ConnectTimeoutError))


def _unavailable(url: str, error: Exception, timeout: float) -> ServiceUnavailable:
    if _timed_out(error):
        return ServiceUnavailable(display_url(url), "no answer within %g s" % timeout)
    if isinstance(error, requests.exceptions.RetryError):
        return ServiceUnavailable(display_url(url), "still failing after retries")
    if isinstance(error, requests.ConnectionError):
        return ServiceUnavailable(display_url(url), "cannot connect (%s)" % type(error).__name__)
    return ServiceUnavailable(display_url(url), "request failed (%s)" % type(error).__name__)


class ServiceConnection:
    """The signing service's three requests for one Client."""

    def __init__(self, service_url: str, timeout: float, retries: int) -> None:
        self.service_url = service_url.rstrip("/")
        self.timeout = timeout
        self._lookups = retrying_session(retries)
        self._signing = retrying_session(retries, idempotent=False)

    def close(self) -> None:
        self._lookups.close()
        self._signing.close()

    def _post(self, session: requests.Session, path: str, body: Dict[str, Any], api_token: str) -> Any:
        url = self.service_url + path
        try:
            # One connection per service request, as the modules make them: only
            # the library's own requests (timestamps, OCSP, CRLs) share one.
            response = session.post(url, json=body, timeout=self.timeout,
                                    headers={"X-Corvane-Authorization": api_token, "Connection": "close"})
        except requests.RequestException as error:
            raise _unavailable(url, error, self.timeout) from None
        if response.status_code != 200:
            raise ServiceRefused(display_url(url), response.status_code, response.text[:_MESSAGE_LIMIT].strip())
        try:
            result = response.json()["result"]
        except (ValueError, KeyError, TypeError):
            result = None
        if not isinstance(result, dict):
            raise CorvaneError("the signing service's answer from %s holds no result" % display_url(url))
        return result

    # The faces of the module's request functions: (True, result) or an exception.
    def user_info(self, api_token: str, tenant_id: str, user_id: Optional[str],
                  email: Optional[str]) -> Tuple[bool, Any]:
        body: Dict[str, Any] = {"tenant_id": tenant_id}
        if user_id:
            body["user_id"] = user_id
        elif email:
            body["email"] = email
        return True, self._post(self._lookups, "/api/openapi/sdk-user-info.json", body, api_token)

    def certificate_info(self, api_token: str, tenant_id: str, user_id: Optional[str], pki: str,
                         digest_b64: str) -> Tuple[bool, Any]:
        body = {"tenant_id": tenant_id, "pki": pki, "user_id": user_id, "digest_b64": digest_b64}
        return True, self._post(self._signing, "/api/openapi/sdk-sign-info.json", body, api_token)

    def timestamp_info(self, api_token: str, tenant_id: str) -> Tuple[bool, Any]:
        return True, self._post(self._lookups, "/api/openapi/sdk-timestamp-info.json",
                                {"tenant_id": tenant_id}, api_token)
