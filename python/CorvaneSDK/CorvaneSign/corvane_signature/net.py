"""HTTP for the library's servers (timestamp, OCSP, CRL, CA certificates).

One place that turns every transport problem into a library error whose text
says which server failed and how, and never shows credentials: user info,
query and fragment are cut from URLs before they go into a message, and the
text of requests' own exceptions (which may echo the URL) is not used.
"""

from __future__ import annotations

import weakref
from typing import Any, Dict, Hashable, Mapping, Optional, Tuple, Union
from urllib.parse import urlsplit, urlunsplit

import requests
from requests.auth import AuthBase

__all__ = ["DEFAULT_TIMEOUT", "HTTPConnections", "display_url", "http_request"]

DEFAULT_TIMEOUT = 20.0  # seconds, for connecting and for each read


def display_url(url: object) -> str:
    """``url`` without user info, query or fragment: safe to show in a message."""
    try:
        parts = urlsplit(str(url))
        host = parts.hostname or ""
        if ":" in host:
            host = "[%s]" % host
        if parts.port is not None:
            host = "%s:%d" % (host, parts.port)
        return urlunsplit((parts.scheme, host, parts.path, "", ""))
    except ValueError:
        return "<malformed URL>"


class _CallSession(requests.Session):
    """A session for the requests of one call.

    requests reads proxies and the CA bundle from the environment again for
    every request (scanning all of ``os.environ`` twice); during one call they
    do not change, so they are read once per origin and kept with the session.
    """

    def __init__(self) -> None:
        super().__init__()
        self._environment: Dict[Hashable, Any] = {}

    def merge_environment_settings(self, url: Any, proxies: Any, stream: Any, verify: Any,
                                   cert: Any) -> Any:
        try:
            key: Hashable = (urlsplit(url or "")[:2], tuple(sorted((proxies or {}).items())),
                             stream, verify, cert)
            hash(key)
        except (TypeError, ValueError):
            return super().merge_environment_settings(url, proxies, stream, verify, cert)
        if key not in self._environment:
            self._environment[key] = super().merge_environment_settings(url, proxies, stream, verify, cert)
        return dict(self._environment[key])


class HTTPConnections:
    """The HTTP session one client object sends its requests through.

    Either the caller's session (left open: it is theirs), or one of the
    object's own, made at its first request, so that its requests to a host
    share a connection; that one is closed by :meth:`close` or at the latest
    when the object goes away, so no connection outlives the call that made
    the object.
    """

    def __init__(self, session: Optional[requests.Session] = None) -> None:
        if session is not None and not callable(getattr(session, "request", None)):
            raise TypeError("session must be a requests.Session, got %s" % type(session).__name__)
        self._given = session
        self._own: Optional[_CallSession] = None
        self._close: Optional[weakref.finalize[[], HTTPConnections]] = None

    @property
    def session(self) -> requests.Session:
        if self._given is not None:
            return self._given
        if self._own is None:
            self._own = _CallSession()
            self._close = weakref.finalize(self, self._own.close)
        return self._own

    def close(self) -> None:
        """Close the session if it is the object's own; later requests open new connections."""
        if self._close is not None:
            self._close()


def http_request(method: str, url: str, error_class: type[Exception], what: str, timeout: float,
                 data: Optional[bytes] = None, headers: Optional[Mapping[str, str]] = None,
                 auth: Union[Tuple[str, str], AuthBase, None] = None,
                 session: Optional[requests.Session] = None) -> requests.Response:
    """Send one request and return the response if its status is 200.

    It goes through ``session`` when one is given, else through a session
    made for this request alone.  Any other status, and any transport
    failure, raises ``error_class`` with a message naming ``what`` (e.g.
    "timestamp server") and the URL.
    """
    where = "%s %s" % (what, display_url(url))
    sender = requests if session is None else session
    try:
        response = sender.request(method, url, data=data, headers=headers, auth=auth,
                                  timeout=timeout, allow_redirects=True)
    except requests.exceptions.Timeout:
        raise error_class("%s did not answer within %g seconds" % (where, timeout)) from None
    except (requests.exceptions.MissingSchema, requests.exceptions.InvalidSchema,
            requests.exceptions.InvalidURL):
        raise error_class("%s: not a valid http(s) URL" % where) from None
    except requests.exceptions.ConnectionError:
        raise error_class("%s is unreachable (connection failed)" % where) from None
    except requests.exceptions.RequestException as exc:
        raise error_class("%s: request failed (%s)" % (where, type(exc).__name__)) from None
    except UnicodeError:
        # Basic credentials and headers go out as Latin-1; the codec error
        # would carry the whole value, a password included.
        raise error_class("%s: request cannot be sent: a credential or header value is not "
                          "Latin-1 text" % where) from None
    if response.status_code != 200:
        hint = ""
        if response.status_code in (401, 403):
            hint = ", credentials refused"
        raise error_class("%s answered HTTP %d%s" % (where, response.status_code, hint))
    return response
