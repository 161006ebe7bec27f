"""HTTP plumbing: a threaded server on 127.0.0.1 that hands every request to an app.

The app is any object with ``handle(request) -> Response or DROP`` and
``log(line)``.  Connections are kept alive (HTTP/1.1), so a client that
reuses its connection pays no new handshake per request; an idle connection
holds its thread until the client closes it, the idle time-out passes, or
the server stops: on stop, open connections are shut down and every handler
thread is joined.
"""

from __future__ import annotations

import enum
import json
import socket
import sys
import threading
import traceback
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from typing import Any, Mapping, NamedTuple, Optional, Protocol, Union, cast
from urllib.parse import urlsplit

from requests.structures import CaseInsensitiveDict

__all__ = ["DROP", "MAX_BODY_SIZE", "RecordedRequest", "Response", "SandboxHTTPServer"]

MAX_BODY_SIZE = 1 << 20
# Longest path shown in the request log (OCSP GET paths carry a whole request).
_LOGGED_PATH_LENGTH = 96


class RecordedRequest(NamedTuple):
    """One request as the sandbox received it: method, path (without
    query), headers (case-insensitive mapping) and body bytes."""

    method: str
    path: str
    headers: CaseInsensitiveDict[str]
    body: bytes


class _Drop(enum.Enum):
    DROP = "drop"


# Returned by an app to close the connection without any response.
DROP = _Drop.DROP


class Response:
    """Status, body bytes, content type and extra headers of one answer."""

    def __init__(self, status: int, body: bytes = b"",
                 content_type: str = "text/plain; charset=utf-8",
                 headers: Optional[Mapping[str, str]] = None) -> None:
        self.status = status
        self.body = body
        self.content_type = content_type
        self.headers = headers or {}

    @classmethod
    def text(cls, status: int, message: str,
             headers: Optional[Mapping[str, str]] = None) -> Response:
        return cls(status, message.encode("utf-8"), headers=headers)

    @classmethod
    def json(cls, value: Any, status: int = 200) -> Response:
        return cls(status, json.dumps(value).encode("utf-8"), "application/json")


# What an app's handle returns.
Answer = Union[Response, _Drop]


class App(Protocol):
    """What the server hands each request to."""

    def handle(self, request: RecordedRequest) -> Answer: ...

    def log(self, line: str) -> None: ...


class _Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "CorvaneSandbox/1.0"
    # A client that connects and never sends its (next) request must not hold a thread forever.
    timeout = 30
    # Each answer goes out at once: on a kept-alive connection, Nagle's algorithm
    # would hold the body back until the client's delayed ACK of the headers.
    disable_nagle_algorithm = True

    def do_GET(self) -> None:
        self._serve()

    do_POST = do_PUT = do_DELETE = do_PATCH = do_HEAD = do_GET

    def _app(self) -> App:
        app = cast(SandboxHTTPServer, self.server).app
        assert app is not None, "the server starts only with an app"
        return app

    def _serve(self) -> None:
        app = self._app()
        length_header = self.headers.get("Content-Length")
        try:
            length = int(length_header) if length_header is not None else 0
        except ValueError:
            length = -1
        # An unread body would be taken for the next request: such a connection ends with its answer.
        if "Transfer-Encoding" in self.headers:
            self.close_connection = True
        if length < 0:
            self.close_connection = True
            self._answer(Response.text(400, "invalid Content-Length"))
            return
        if length > MAX_BODY_SIZE:
            self.close_connection = True
            self._answer(Response.text(413, "request body larger than %d bytes" % MAX_BODY_SIZE))
            return
        body = self.rfile.read(length) if length else b""
        request = RecordedRequest(self.command, urlsplit(self.path).path or "/",
                                  CaseInsensitiveDict(self.headers.items()), body)
        try:
            response = app.handle(request)
        except Exception:
            # The traceback names code, not request data, so no secret reaches the log.
            app.log("internal error on %s %s\n%s" % (self.command, request.path,
                                                     traceback.format_exc()))
            response = Response.text(500, "internal sandbox error")
        if response is DROP:
            self.close_connection = True
            self._log(request.path, "dropped")
            try:
                self.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            return
        self._answer(response, request.path)

    def _answer(self, response: Response, path: Optional[str] = None) -> None:
        # Logged before answering, so the line belongs to the client's request in time.
        self._log(path if path is not None else urlsplit(self.path).path,
                  "%d %d" % (response.status, len(response.body)))
        try:
            self.send_response(response.status)
            self.send_header("Content-Type", response.content_type)
            self.send_header("Content-Length", str(len(response.body)))
            if self.close_connection:
                self.send_header("Connection", "close")
            for name, value in response.headers.items():
                self.send_header(name, value)
            self.end_headers()
            if self.command != "HEAD":
                self.wfile.write(response.body)
        except OSError:
            # The client went away; nothing to answer.
            pass

    def _log(self, path: str, outcome: str) -> None:
        if len(path) > _LOGGED_PATH_LENGTH:
            path = path[:_LOGGED_PATH_LENGTH] + "..."
        # Method and path only: headers (tokens, Basic credentials) and bodies never go out.
        self._app().log("%s %s %s" % (self.command, path, outcome))

    def log_message(self, format: str, *args: Any) -> None:
        # The base class would print the raw request line; requests are logged in _log.
        pass


class SandboxHTTPServer(ThreadingHTTPServer):
    """ThreadingHTTPServer on 127.0.0.1 whose stop leaves no thread or socket behind."""

    daemon_threads = False
    block_on_close = True
    allow_reuse_address = True

    def __init__(self, port: int, app: Optional[App] = None) -> None:
        super().__init__(("127.0.0.1", port), _Handler)
        self.app = app
        self._connections: set[socket.socket] = set()
        self._connections_lock = threading.Lock()
        self._thread: Optional[threading.Thread] = None

    @property
    def port(self) -> int:
        return self.server_address[1]

    def process_request_thread(self, request: socket.socket,  # type: ignore[override]
                               client_address: Any) -> None:
        with self._connections_lock:
            self._connections.add(request)
        try:
            super().process_request_thread(request, client_address)
        finally:
            with self._connections_lock:
                self._connections.discard(request)

    def handle_error(self, request: Any, client_address: Any) -> None:
        # A client that resets a kept-alive connection while it is idle has
        # closed it; only other failures are worth a traceback.
        if isinstance(sys.exc_info()[1], ConnectionError):
            return
        super().handle_error(request, client_address)

    def start(self, name: str) -> None:
        self._thread = threading.Thread(target=self.serve_forever, kwargs={"poll_interval": 0.05},
                                        name=name, daemon=True)
        self._thread.start()

    def stop(self) -> None:
        """Stop accepting, cut open connections, join every thread, close the socket."""
        if self._thread is not None:
            self.shutdown()
            self._thread.join()
            self._thread = None
        with self._connections_lock:
            connections = list(self._connections)
        for connection in connections:
            try:
                connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
        self.server_close()
