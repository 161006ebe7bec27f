"""RFC 3161 timestamp clients."""

import os
from typing import Any, Optional, Protocol, Set, Union

import requests
from asn1crypto import algos, cms, core, tsp
from requests.auth import AuthBase

from ..asn1_values import encoded_once
from ..exceptions import TimestampError
from ..net import DEFAULT_TIMEOUT, HTTPConnections, display_url, http_content
from ...corvane_certvalidator.decoding import decode_received
from .token_check import check_timestamp_token

__all__ = ["HTTPTimeStamper", "Timestamper"]

_DIGEST_SIZES = {"sha256": 32}


class TimeStampResp(core.Sequence):  # type: ignore[misc]  # asn1crypto has no types
    """RFC 3161 TimeStampResp.  asn1crypto's own declares the token mandatory,
    so a rejection (which has none) would not even parse."""

    _fields = [
        ("status", tsp.PKIStatusInfo),
        ("time_stamp_token", cms.ContentInfo, {"optional": True}),
    ]


def _failure_text(status_info: Any) -> str:
    parts = [status_info["status"].native]
    fail_info = status_info["fail_info"]
    if fail_info:
        parts.append("failure %s" % ", ".join(sorted(fail_info.native)))
    texts = status_info["status_string"]
    if texts:
        parts.append('"%s"' % " ".join(texts.native))
    return "; ".join(parts)


class Timestamper(Protocol):
    """A source of checked timestamp tokens (``cms.ContentInfo``) for digests. When it
    also has an ``async_timestamp`` coroutine method of the same shape, that is awaited."""

    def timestamp(self, message_digest: bytes, md_algorithm: str = ...) -> Any: ...


class HTTPTimeStamper:
    """Client of an RFC 3161 timestamp server reached over HTTP(S).

    ``auth`` is any requests authentication object (for example
    ``requests.auth.HTTPBasicAuth``); ``timeout`` bounds connecting and each
    read, in seconds.  Requests go through ``session`` when one is given,
    otherwise through a session of this object's own (see ``close``).  A
    token is accepted only when the server granted it, it answers our nonce
    and imprint, and its signature verifies with the TSA certificate it
    carries (which must be certified for time stamping).
    """

    def __init__(self, url: str, auth: Optional[AuthBase] = None, timeout: float = DEFAULT_TIMEOUT,
                 session: Optional[requests.Session] = None) -> None:
        if not isinstance(url, str) or not url:
            raise TimestampError("timestamp server URL must be a non-empty string")
        self.url = url
        self.auth = auth
        self.timeout = timeout
        self._connections = HTTPConnections(session)
        # DER of the certificates its answers carried that decoded: the same
        # TSA certificate comes with every token.
        self._accepted_certificates: Set[bytes] = set()

    @property
    def http_connections(self) -> HTTPConnections:
        return self._connections

    def close(self) -> None:
        """Close this object's own connections (a given session stays open)."""
        self._connections.close()

    def __repr__(self) -> str:
        return "HTTPTimeStamper(%r)" % display_url(self.url)

    def _fail(self, problem: str) -> TimestampError:
        return TimestampError("timestamp server %s: %s" % (display_url(self.url), problem))

    def request_for(self, message_digest: Union[bytes, bytearray], md_algorithm: str = "sha256") -> Any:
        """A TimeStampReq for ``message_digest`` with a fresh random 64-bit nonce."""
        if md_algorithm not in _DIGEST_SIZES:
            raise TimestampError("digest algorithm %r is not supported for timestamps (use sha256)"
                                 % (md_algorithm,))
        if not isinstance(message_digest, (bytes, bytearray)) \
                or len(message_digest) != _DIGEST_SIZES[md_algorithm]:
            raise TimestampError("message digest must be %d bytes of %s"
                                 % (_DIGEST_SIZES[md_algorithm], md_algorithm))
        imprint = encoded_once(tsp.MessageImprint, {
            "hash_algorithm": algos.DigestAlgorithm({"algorithm": md_algorithm}),
            "hashed_message": bytes(message_digest),
        })
        return encoded_once(tsp.TimeStampReq, {
            "version": "v1",
            "message_imprint": imprint,
            "nonce": int.from_bytes(os.urandom(8), "big"),
            "cert_req": True,
        })

    def timestamp(self, message_digest: Union[bytes, bytearray], md_algorithm: str = "sha256") -> Any:
        """Obtain and check a TimeStampToken (``cms.ContentInfo``) for ``message_digest``."""
        request = self.request_for(message_digest, md_algorithm)
        nonce = request["nonce"].native
        content = http_content(self._connections, "POST", self.url, TimestampError, "timestamp server",
                               self.timeout, data=request.dump(),
                               headers={"Content-Type": "application/timestamp-query"}, auth=self.auth)
        try:
            reply = TimeStampResp.load(content)
            # The token's bytes as received: once asn1crypto has parsed inside a
            # value it may re-encode it on every dump, certificate by certificate.
            token_der = reply["time_stamp_token"].dump()
            status_info = reply["status"]
            status = status_info["status"].native
            token = cms.ContentInfo.load(token_der) if token_der else None
        except (ValueError, TypeError):
            raise self._fail("answer is not an RFC 3161 timestamp response") from None
        granted = status in ("granted", "granted_with_mods")
        # The check reads a copy parsed only as far as it goes, so that its
        # signed attributes' DER is still the received one; the decoding of the
        # whole answer then reuses that parsing. Whatever the check found is
        # told only once the answer is known to decode.
        problem: Optional[Exception] = None
        if granted and token is not None:
            try:
                check_timestamp_token(token, message_digest, md_algorithm, nonce=nonce)
            except Exception as exc:  # noqa: BLE001 - raised below, after the decoding
                problem = exc
        try:
            decode_received(status_info, self._accepted_certificates)
            if token is not None:
                decode_received(token, self._accepted_certificates)
        except (ValueError, TypeError):
            raise self._fail("answer is not an RFC 3161 timestamp response") from None
        if not granted:
            raise self._fail("request rejected: %s" % _failure_text(status_info))
        if token is None:
            raise self._fail("granted response carries no timestamp token")
        if isinstance(problem, TimestampError):
            raise self._fail(str(problem)) from None
        if isinstance(problem, (ValueError, TypeError, KeyError)):
            raise self._fail("timestamp token cannot be decoded (%s)" % type(problem).__name__) from None
        if problem is not None:
            raise problem
        return cms.ContentInfo.load(token_der)

    async def async_timestamp(self, message_digest: Union[bytes, bytearray], md_algorithm: str = "sha256") -> Any:
        """Coroutine form of :meth:`timestamp`.

        The HTTP exchange blocks the calling thread, like every network call
        of this system: no worker thread is started for it.
        """
        return self.timestamp(message_digest, md_algorithm)
