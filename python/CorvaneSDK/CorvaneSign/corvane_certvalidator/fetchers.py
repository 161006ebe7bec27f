"""Fetching validation material over HTTP, each request once per context."""

from __future__ import annotations

from typing import Optional, Union

import requests

from ..corvane_signature.exceptions import ValidationError
from ..corvane_signature.net import DEFAULT_TIMEOUT, HTTPConnections, display_url, http_content

__all__ = ["FetchError", "Fetcher"]

_MAX_RESPONSE_SIZE = 16 * 1024 * 1024


class FetchError(ValidationError):
    """A source of validation data could not be reached or gave no usable answer."""


class Fetcher:
    """Cached HTTP access for one validation context.

    Every distinct request (method, URL and body) goes out at most once; its
    answer, or its failure, is remembered and given again on later calls, so
    a dead server costs one time-out per context and not one per certificate.
    Requests go through ``session`` when given, else through the fetcher's own.
    """

    def __init__(self, timeout: float = DEFAULT_TIMEOUT, session: Optional[requests.Session] = None) -> None:
        self.timeout = timeout
        self._connections = HTTPConnections(session)
        self._cache: dict[tuple[str, str, Optional[bytes]], Union[bytes, FetchError]] = {}

    def _fetch(self, method: str, url: str, what: str, body: Optional[bytes] = None,
               content_type: Optional[str] = None) -> bytes:
        key = (method, url, body)
        if key not in self._cache:
            headers = {"Content-Type": content_type} if content_type else None
            try:
                content = http_content(self._connections, method, url, FetchError, what, self.timeout,
                                       data=body, headers=headers)
                if len(content) > _MAX_RESPONSE_SIZE:
                    raise FetchError("%s %s sent %d bytes, more than the %d accepted"
                                     % (what, display_url(url), len(content), _MAX_RESPONSE_SIZE))
                self._cache[key] = content
            except FetchError as exc:
                self._cache[key] = exc
        result = self._cache[key]
        if isinstance(result, FetchError):
            raise FetchError(str(result))
        return result

    @property
    def http_connections(self) -> HTTPConnections:
        return self._connections

    def close(self) -> None:
        """Close the fetcher's own connections (a given session stays open)."""
        self._connections.close()

    def get(self, url: str, what: str) -> bytes:
        """The body of ``GET url``; ``what`` names the server in error messages."""
        return self._fetch("GET", url, what)

    def post(self, url: str, body: bytes, content_type: str, what: str) -> bytes:
        """The body of ``POST url`` with ``body``."""
        return self._fetch("POST", url, what, bytes(body), content_type)
