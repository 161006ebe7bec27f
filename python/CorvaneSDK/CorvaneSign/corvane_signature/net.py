"""HTTP for the library's servers (timestamp, OCSP, CRL, CA certificates).

One place that turns every transport problem into a library error whose text
says which server failed and how, and never shows credentials: user info,
query and fragment are cut from URLs before they go into a message, and the
text of requests' own exceptions (which may echo the URL) is not used.
"""

from __future__ import annotations

import os
import sys
import weakref
from typing import Any, Dict, Hashable, Mapping, Optional, Tuple, Union
from urllib.parse import urlsplit, urlunsplit

import requests
import urllib3
from requests.adapters import DEFAULT_POOLSIZE
from requests.auth import AuthBase
from requests.utils import default_headers, get_environ_proxies, select_proxy

__all__ = ["DEFAULT_TIMEOUT", "HTTPConnections", "display_url", "http_content", "share_connections"]

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
    """The HTTP connections one client object sends its requests through.

    Either the caller's session (left open: it is theirs), or the object's
    own, made at its first request, so that its requests to a host share a
    connection; those are closed by :meth:`close` or at the latest when the
    object goes away, so no connection outlives the call that made the object.

    Of its own requests, those in plain HTTP that no proxy, credential or
    redirect concerns (what OCSP responders, CA certificate and CRL servers
    and most timestamp servers are) go straight to urllib3's connection pool,
    which requests itself sends through: the session's cookie, hook,
    environment and redirect handling costs about a millisecond of CPU per
    request here, more than the rest of such a request.  Everything else goes
    through the requests session.
    """

    def __init__(self, session: Optional[requests.Session] = None) -> None:
        if session is not None and not callable(getattr(session, "request", None)):
            raise TypeError("session must be a requests.Session, got %s" % type(session).__name__)
        self._given = session
        self._own: Optional[_CallSession] = None
        self._pool: Optional[urllib3.PoolManager] = None
        self._plain_origins: Dict[str, bool] = {}
        self._closers: list[weakref.finalize[Any, Any]] = []

    @property
    def session(self) -> requests.Session:
        if self._given is not None:
            return self._given
        if self._own is None:
            self._own = _CallSession()
            self._closers.append(weakref.finalize(self, self._own.close))
        return self._own

    def share_pool_of(self, other: HTTPConnections) -> None:
        """Sends this object's plain-HTTP requests over ``other``'s connections
        too, when both are their objects' own: the library's clients working
        for one call then keep one connection per host.  ``other`` keeps
        owning them and closes them."""
        if self._given is None and other._given is None and other is not self:
            self._pool = other._direct_pool()

    def close(self) -> None:
        """Close the object's own connections; later requests open new ones."""
        for closer in self._closers:
            closer()
        self._closers.clear()
        self._own = self._pool = None

    def send(self, method: str, url: str, data: Optional[bytes], headers: Optional[Mapping[str, str]],
             auth: Union[Tuple[str, str], AuthBase, None], timeout: float) -> Tuple[int, bytes]:
        """(status, body) of the request; the redirects are followed."""
        if self._is_plain(url, auth):
            response = self._direct_pool().request(
                method, url, body=data, headers=_with_default_headers(headers),
                timeout=urllib3.Timeout(connect=timeout, read=timeout),
                retries=False, redirect=False, preload_content=True)
            if not (300 <= response.status < 400 and response.headers.get("Location")):
                return response.status, response.data
            # requests follows it, with its rules for what a redirect may carry along.
        answer = self.session.request(method, url, data=data, headers=headers, auth=auth,
                                      timeout=timeout, allow_redirects=True)
        return answer.status_code, answer.content

    def _is_plain(self, url: str, auth: object) -> bool:
        if self._given is not None or auth is not None or not isinstance(url, str) or not url.isascii():
            return False
        try:
            parts = urlsplit(url)
        except ValueError:
            return False  # requests tells what is wrong with it
        if parts.scheme != "http" or not parts.hostname or "@" in parts.netloc or "\\" in url:
            return False
        plain = self._plain_origins.get(parts.netloc)
        if plain is None:
            plain = self._plain_origins[parts.netloc] = _nothing_in_environment_for(url)
        return plain

    def _direct_pool(self) -> urllib3.PoolManager:
        if self._pool is None:
            # Sized as requests sizes its adapters' pools: an object shared by
            # threads keeps their connections instead of logging that it drops them.
            self._pool = urllib3.PoolManager(num_pools=DEFAULT_POOLSIZE, maxsize=DEFAULT_POOLSIZE)
            self._closers.append(weakref.finalize(self, self._pool.clear))
        return self._pool


def share_connections(user: object, owner: object) -> None:
    """From now on ``user`` sends its plain-HTTP requests over ``owner``'s
    connections, when both are this library's clients (timestamper,
    validation context) with connections of their own; else nothing changes."""
    mine, theirs = getattr(user, "http_connections", None), getattr(owner, "http_connections", None)
    if isinstance(mine, HTTPConnections) and isinstance(theirs, HTTPConnections):
        mine.share_pool_of(theirs)


_DEFAULT_HEADERS = dict(default_headers())
_HTTP_PROXY_VARIABLES = ("http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY")


def _nothing_in_environment_for(url: str) -> bool:
    """True when requests would find neither a proxy nor .netrc credentials
    for the plain-HTTP ``url``.  On Linux, where proxies come only from
    variables, a few lookups tell (with no proxy variable, no exemption
    matters); scanning the environment as requests does costs about a
    millisecond per origin."""
    if sys.platform.startswith("linux"):
        if any(os.environ.get(name) for name in _HTTP_PROXY_VARIABLES):
            return False
    elif select_proxy(url, get_environ_proxies(url)) is not None:
        return False
    netrc = os.environ.get("NETRC")
    netrc_files = [netrc] if netrc else [os.path.expanduser("~/.netrc"), os.path.expanduser("~/_netrc")]
    return not any(os.path.exists(path) for path in netrc_files)


def _with_default_headers(headers: Optional[Mapping[str, str]]) -> Dict[str, str]:
    """requests' default headers, then ``headers``, as requests would send them."""
    merged = dict(_DEFAULT_HEADERS)
    lowered = {name.lower(): name for name in merged}
    for name, value in (headers or {}).items():
        merged.pop(lowered.get(name.lower(), name), None)
        merged[name] = value
    return merged


def http_content(connections: HTTPConnections, method: str, url: str, error_class: type[Exception], what: str,
                 timeout: float, data: Optional[bytes] = None, headers: Optional[Mapping[str, str]] = None,
                 auth: Union[Tuple[str, str], AuthBase, None] = None) -> bytes:
    """Send one request through ``connections`` and return the body of its
    answer if its status is 200.

    Any other status, and any transport failure, raises ``error_class`` with
    a message naming ``what`` (e.g. "timestamp server") and the URL.
    """
    where = "%s %s" % (what, display_url(url))
    try:
        status, content = connections.send(method, url, data, headers, auth, timeout)
    except (requests.exceptions.Timeout, urllib3.exceptions.TimeoutError) as exc:
        if isinstance(exc, urllib3.exceptions.NewConnectionError):
            # urllib3 derives a refused connection from its connect time-out.
            raise error_class("%s is unreachable (connection failed)" % where) from None
        raise error_class("%s did not answer within %g seconds" % (where, timeout)) from None
    except (requests.exceptions.MissingSchema, requests.exceptions.InvalidSchema,
            requests.exceptions.InvalidURL, urllib3.exceptions.LocationValueError):
        raise error_class("%s: not a valid http(s) URL" % where) from None
    except (requests.exceptions.ConnectionError, urllib3.exceptions.ProtocolError):
        raise error_class("%s is unreachable (connection failed)" % where) from None
    except (requests.exceptions.RequestException, urllib3.exceptions.HTTPError) as exc:
        raise error_class("%s: request failed (%s)" % (where, type(exc).__name__)) from None
    except UnicodeError:
        # Basic credentials and headers go out as Latin-1; the codec error
        # would carry the whole value, a password included.
        raise error_class("%s: request cannot be sent: a credential or header value is not "
                          "Latin-1 text" % where) from None
    if status != 200:
        hint = ""
        if status in (401, 403):
            hint = ", credentials refused"
        raise error_class("%s answered HTTP %d%s" % (where, status, hint))
    return content
