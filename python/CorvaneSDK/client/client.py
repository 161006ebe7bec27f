"""``CorvaneSDK.Client``: signing, timestamping and verification for
applications, with time-outs, retries, typed results and typed errors.

It runs the same procedures as the fixed modules ``CorvaneSDK.sign`` and
``CorvaneSDK.timestamp``, handing them its own table of names.
"""

from __future__ import annotations

import functools
import os
import sys
import threading
from typing import Any, Callable, Dict, Iterable, Optional, TypeVar

from .. import _procedures
from .appearance import Appearance
from .errors import CorvaneError
from .failures import client_error
from .inspection import signature_times
from .names import signing_table, timestamping_table
from .results import LEVELS, SignResult, TimestampResult
from .service_http import ServiceConnection, display_url
from .sources import Destination, Source, check_destination, source_for
from .sync_run import run_to_end
from .turns import WORK_TURN

__all__ = ["Client"]

_T = TypeVar("_T")


def _text_option(name: str, value: Optional[str]) -> Optional[str]:
    if value is not None and not isinstance(value, str):
        raise TypeError("%s must be a str or None, not %s" % (name, type(value).__name__))
    return value


def _outside_event_loop(method: str) -> None:
    # No loop runs before asyncio is imported; the synchronous faces never import it.
    asyncio = sys.modules.get("asyncio")
    if asyncio is None:
        return
    try:
        asyncio.get_running_loop()
    except RuntimeError:
        return
    raise RuntimeError("Client.%s blocks and cannot run inside an event loop: await client.%s_async(...)"
                       % (method, method))


class Client:
    """A client of the Corvane signing service for one tenant.

    ``timeout`` bounds each connection attempt and each wait for an answer
    (seconds); ``retries`` is how often a failed request that is safe to repeat
    is tried again, with backoff. ``tsa_url`` None takes timestamps from the
    service's timestamp server with its credentials; a URL takes them from
    that server, without credentials.
    """

    def __init__(self, service_url: str, api_token: str, tenant_id: str, *, timeout: float = 30.0,
                 retries: int = 2, tsa_url: Optional[str] = None) -> None:
        if not isinstance(service_url, str) or not service_url.startswith(("http://", "https://")):
            raise ValueError("service_url must be an http:// or https:// URL")
        if not isinstance(api_token, str) or not api_token:
            raise ValueError("api_token must be a non-empty str")
        if not isinstance(tenant_id, str) or not tenant_id:
            raise ValueError("tenant_id must be a non-empty str")
        if isinstance(timeout, bool) or not isinstance(timeout, (int, float)) or not timeout > 0:
            raise ValueError("timeout must be a positive number of seconds")
        if isinstance(retries, bool) or not isinstance(retries, int) or retries < 0:
            raise ValueError("retries must be an int >= 0")
        if tsa_url is not None and (not isinstance(tsa_url, str) or not tsa_url.startswith(("http://", "https://"))):
            raise ValueError("tsa_url must be an http:// or https:// URL or None")
        self.service_url = service_url
        self.tenant_id = tenant_id
        self.timeout = float(timeout)
        self.retries = retries
        self.tsa_url = tsa_url
        self.__api_token = api_token

    def __repr__(self) -> str:
        return "Client(%r, tenant_id=%r, timeout=%r, retries=%r, tsa_url=%r)" % (
            display_url(self.service_url), self.tenant_id, self.timeout, self.retries,
            None if self.tsa_url is None else display_url(self.tsa_url))

    # -- signing ---------------------------------------------------------------

    def sign(self, source: Source, destination: Destination = None, *, pki: str = "rsa",
             user_id: Optional[str] = None, email: Optional[str] = None, field: Optional[str] = None,
             reason: Optional[str] = None, location: Optional[str] = None, contact: Optional[str] = None,
             appearance: Optional[Appearance] = None, certify: Optional[int] = None,
             level: str = "B-LTA") -> SignResult:
        """Signs ``source`` for the user ``user_id`` or ``email`` (else the
        tenant's default user) and writes it to ``destination``.

        ``field`` defaults to the first free SignatureN; ``reason`` to the
        service-built text; ``certify`` (1, 2 or 3) makes a certification
        signature with those DocMDP permissions; ``level`` is B-B, B-T, B-LT
        or B-LTA.
        """
        _outside_event_loop("sign")
        options = self._signing_options(pki, user_id, email, field, reason, location, contact, appearance,
                                        certify, level)
        document = source_for(source)
        destination = check_destination(destination)
        connection = ServiceConnection(self.service_url, self.timeout, self.retries)
        table = signing_table(connection, options, self.timeout, self.retries, self.tsa_url)
        record = self._run(lambda: run_to_end(_procedures.sign(table, options, document, destination,
                                                                self.__api_token, self.tenant_id, pki, user_id,
                                                                email)),
                           connection, table)
        signing_time, timestamp_time = signature_times(record["document"], record["field"])
        return SignResult(output=self._output(destination, record), field=record["field"],
                          signer=record["signer"], signing_time=signing_time, timestamp_time=timestamp_time,
                          level=level)

    def _signing_options(self, pki: str, user_id: Optional[str], email: Optional[str], field: Optional[str],
                         reason: Optional[str], location: Optional[str], contact: Optional[str],
                         appearance: Optional[Appearance], certify: Optional[int],
                         level: str) -> Dict[str, Any]:
        # The service interprets the PKI name (e.g. "rsa", "ecdsa"); it refuses names it does not know.
        if not isinstance(pki, str) or not pki:
            raise ValueError("pki must be a non-empty str, not %r" % (pki,))
        if level not in LEVELS:
            raise ValueError("level must be one of %s, not %r" % (", ".join(LEVELS), level))
        for name, value in (("user_id", user_id), ("email", email), ("reason", reason),
                            ("location", location), ("contact", contact)):
            _text_option(name, value)
        if field is not None and (not isinstance(field, str) or not field or "." in field):
            raise ValueError("field must be a non-empty name without '.', not %r" % (field,))
        if appearance is not None and not isinstance(appearance, Appearance):
            raise TypeError("appearance must be a CorvaneSDK.Appearance")
        if certify is not None and (isinstance(certify, bool) or certify not in (1, 2, 3)):
            raise ValueError("certify must be 1, 2 or 3 (the DocMDP permissions), not %r" % (certify,))
        return {"field": field, "reason": reason, "location": location, "contact": contact,
                "appearance": appearance, "certify": certify, "level": level,
                "timestamp_source": "service" if self.tsa_url is None else "url"}

    # -- timestamping and verification ----------------------------------------

    def timestamp(self, source: Source, destination: Destination = None) -> TimestampResult:
        """Adds a document timestamp to ``source`` and writes it to ``destination``."""
        _outside_event_loop("timestamp")
        document = source_for(source)
        destination = check_destination(destination)
        connection = ServiceConnection(self.service_url, self.timeout, self.retries)
        table = timestamping_table(connection, self.timeout, self.retries, self.tsa_url)
        options = {"timestamp_source": "service" if self.tsa_url is None else "url"}
        record = self._run(lambda: _procedures.timestamp(table, options, document, destination,
                                                         self.__api_token, self.tenant_id),
                           connection, table)
        _, timestamp_time = signature_times(record["document"], record["field"])
        return TimestampResult(output=self._output(destination, record), field=record["field"],
                               timestamp_time=timestamp_time)

    def verify(self, source: Source, *, trust: Iterable[Any] = (), system_trust: bool = False) -> Dict[str, Any]:
        """The verification report of ``source`` (see ``corvane verify --json``),
        trusting the certificates ``trust`` (certificates, DER/PEM bytes, or paths
        of files or folders of them) and, with ``system_trust``, the system's CAs."""
        from ..verification import verify_pdf
        from ..verification.trust_anchors import TrustAnchorError, system_trust_roots, trust_roots

        try:
            roots = trust_roots(trust)
            if system_trust:
                roots += system_trust_roots()
        except TrustAnchorError as error:
            raise CorvaneError(str(error)) from None
        document = source_for(source)
        try:
            if isinstance(document, str):
                with open(document, "rb") as file:  # read on demand, never whole
                    return verify_pdf(file, roots, file_name=document)
            return verify_pdf(document.data, roots)
        except OSError as error:
            raise CorvaneError("cannot read %s: %s" % (document, error.strerror or error)) from None
        except Exception as error:
            raise client_error(error) from error

    # -- the same from a coroutine ------------------------------------------------

    async def sign_async(self, source: Source, destination: Destination = None, **options: Any) -> SignResult:
        """``sign`` in a worker thread: the event loop goes on meanwhile."""
        return await self._in_thread(functools.partial(self.sign, source, destination, **options))

    async def timestamp_async(self, source: Source, destination: Destination = None) -> TimestampResult:
        """``timestamp`` in a worker thread."""
        return await self._in_thread(functools.partial(self.timestamp, source, destination))

    async def verify_async(self, source: Source, **options: Any) -> Dict[str, Any]:
        """``verify`` in a worker thread."""
        return await self._in_thread(functools.partial(self.verify, source, **options))

    @staticmethod
    async def _in_thread(work: Callable[[], _T]) -> _T:
        import asyncio  # loaded already: a coroutine face runs in a loop

        stop = threading.Event()

        def in_turn() -> _T:
            with WORK_TURN.taken(stop):
                return work()

        try:
            return await asyncio.get_running_loop().run_in_executor(None, in_turn)
        except asyncio.CancelledError:
            stop.set()  # the worker stops at its next request
            raise

    # -- helpers -----------------------------------------------------------------

    @staticmethod
    def _run(work: Callable[[], Dict[str, Any]], connection: ServiceConnection,
             table: Dict[str, Any]) -> Dict[str, Any]:
        try:
            return work()
        except CorvaneError:
            raise
        except Exception as error:
            raise client_error(error) from error
        finally:
            connection.close()
            for session in table["sessions"]:
                session.close()
            table["open"].close_all()

    @staticmethod
    def _output(destination: Destination, record: Dict[str, Any]) -> Any:
        if destination is None:
            return record["document"]
        if isinstance(destination, (str, os.PathLike)):
            return os.fspath(destination)
        return None
