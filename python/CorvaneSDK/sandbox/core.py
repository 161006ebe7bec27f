"""``Sandbox``: one running stand-in for the signing service and its PKI."""

from __future__ import annotations

import json
import os
import sys
import tempfile
import threading
from typing import Any, Callable, Optional, Union

from .app import SandboxApp
from .config import ConfigSource, Tenant, load_config
from .faults import Faults
from .paths import AUTH_TSA_PATH, OPEN_TSA_PATH
from .pki import SandboxPKI, StateDir, build_pki
from .revocation import Revocations
from .server import RecordedRequest, SandboxHTTPServer
from .signing_api import ServiceError, sign_digest

__all__ = ["Sandbox"]

_SECRETS_FILE = "secrets.json"


def _stderr_log(line: str) -> None:
    sys.stderr.write("corvane-sandbox: %s\n" % line)
    sys.stderr.flush()


class Sandbox:
    """The signing service, timestamp servers, OCSP, CRLs and AIA on 127.0.0.1.

    ``state_dir`` keeps keys, certificates and generated secrets between runs
    (None: everything is made afresh and lives in a temporary directory);
    ``config`` is None (built-in tenants and users), a dict or a JSON file
    path; ``port`` 0 picks a free port; ``log`` True logs one line per
    request to stderr, False logs nothing, a callable receives the lines.

    Use it as a context manager, or call ``start()`` and ``stop()``.
    """

    def __init__(self, state_dir: StateDir = None, config: ConfigSource = None, port: int = 0,
                 log: Union[bool, None, Callable[[str], object]] = True) -> None:
        self.config = load_config(config)
        self.state_dir = os.fspath(state_dir) if state_dir is not None else None
        self._requested_port = port
        self._log: Optional[Callable[[str], object]]
        if log is True:
            self._log = _stderr_log
        elif log is False or log is None:
            self._log = None
        elif callable(log):
            self._log = log
        else:
            raise TypeError("log must be True, False or a callable taking one line")
        self.faults = Faults()
        self._revocations = Revocations()
        self._stopping = threading.Event()
        self._server: Optional[SandboxHTTPServer] = None
        self._app: Optional[SandboxApp] = None
        self._tempdir: Optional[tempfile.TemporaryDirectory[str]] = None
        self.port: Optional[int] = None
        self.url: Optional[str] = None
        self.pki: Optional[SandboxPKI] = None
        self.ca_bundle_path: Optional[str] = None
        self.root_cert_path: Optional[str] = None

    # -- life cycle ---------------------------------------------------------

    def start(self) -> Sandbox:
        if self._server is not None:
            raise RuntimeError("the sandbox is already running")
        if self._stopping.is_set():
            raise RuntimeError("a stopped sandbox cannot be started again; make a new one")
        if self.state_dir is not None:
            os.makedirs(self.state_dir, exist_ok=True)
        self._load_secrets()
        server = SandboxHTTPServer(self._requested_port)
        try:
            self.port = server.port
            self.url = "http://127.0.0.1:%d" % self.port
            self.pki = build_pki(self.url, self.config.all_users(), self.state_dir)
            self._write_trust_files(self.pki)
            self._app = SandboxApp(self.config, self.pki, self.faults, self._revocations,
                                   self.tsa_url, self._stopping, self._log)
            server.app = self._app
            server.start("corvane-sandbox-%d" % self.port)
        except BaseException:
            server.server_close()
            self._cleanup_tempdir()
            raise
        self._server = server
        return self

    def stop(self) -> None:
        """Stop serving; joins every server thread and closes the socket."""
        self._stopping.set()
        if self._server is not None:
            self._server.stop()
            self._server = None
        self._cleanup_tempdir()

    def __enter__(self) -> Sandbox:
        return self.start()

    def __exit__(self, *exc_info: object) -> None:
        self.stop()

    @property
    def running(self) -> bool:
        return self._server is not None

    def _cleanup_tempdir(self) -> None:
        if self._tempdir is not None:
            self._tempdir.cleanup()
            self._tempdir = None

    def _load_secrets(self) -> None:
        """Generated tokens and passwords; kept in the state directory when there is one."""
        if self.state_dir is None:
            self.config.fill_secrets({})
            return
        path = os.path.join(self.state_dir, _SECRETS_FILE)
        try:
            with open(path, "rb") as handle:
                stored = json.loads(handle.read().decode("utf-8"))
            if not isinstance(stored, dict):
                stored = {}
        except (OSError, ValueError):
            stored = {}
        if self.config.fill_secrets(stored):
            fd = os.open(path + ".tmp", os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
            with os.fdopen(fd, "wb") as handle:
                handle.write(json.dumps(stored, indent=2).encode("utf-8"))
            os.replace(path + ".tmp", path)

    def _write_trust_files(self, pki: SandboxPKI) -> None:
        if self.state_dir is not None:
            directory = self.state_dir
        else:
            self._tempdir = tempfile.TemporaryDirectory(prefix="corvane-sandbox-")
            directory = self._tempdir.name
        self.ca_bundle_path = os.path.join(directory, "ca-bundle.pem")
        self.root_cert_path = os.path.join(directory, "root.pem")
        with open(self.ca_bundle_path, "wb") as handle:
            handle.write(pki.ca_bundle_pem())
        with open(self.root_cert_path, "wb") as handle:
            handle.write(pki.root_pem())

    # -- what tests and clients use -----------------------------------------

    @property
    def tenant_id(self) -> str:
        return self.config.default_tenant.tenant_id

    @property
    def api_token(self) -> Optional[str]:
        return self.config.default_tenant.api_token

    def _other_tenant(self) -> Optional[Tenant]:
        return self.config.tenants[1] if len(self.config.tenants) > 1 else None

    @property
    def other_tenant_id(self) -> Optional[str]:
        other = self._other_tenant()
        return other.tenant_id if other else None

    @property
    def other_api_token(self) -> Optional[str]:
        other = self._other_tenant()
        return other.api_token if other else None

    @property
    def users(self) -> list[dict[str, Optional[str]]]:
        """User records of the default tenant; ``users[0]`` is its default user."""
        tenant = self.config.default_tenant
        default = tenant.default_user
        return [default.record()] + [user.record() for user in tenant.users if user is not default]

    @property
    def other_users(self) -> list[dict[str, Optional[str]]]:
        other = self._other_tenant()
        return [user.record() for user in other.users] if other else []

    @property
    def tsa_url(self) -> str:
        """The timestamp server that wants HTTP Basic credentials (handed out in "_t")."""
        return self._started_url() + AUTH_TSA_PATH

    @property
    def open_tsa_url(self) -> str:
        return self._started_url() + OPEN_TSA_PATH

    @property
    def tsa_username(self) -> str:
        return self.config.default_tenant.timestamp_username

    @property
    def tsa_password(self) -> Optional[str]:
        return self.config.default_tenant.timestamp_password

    def sign_digest(self, digest: bytes, user_id: Optional[str] = None,
                    pki: str = "rsa") -> tuple[bytes, Any]:
        """(signature value, asn1crypto certificate) exactly as sign info computes them."""
        sandbox_pki = self._require_running()
        if user_id is None:
            user = self.config.default_tenant.default_user
        else:
            chosen = self.config.user(user_id)
            if chosen is None:
                raise ValueError("no user %r in the sandbox configuration" % (user_id,))
            user = chosen
        try:
            return sign_digest(sandbox_pki, user, pki, digest)
        except ServiceError as refusal:
            raise ValueError(refusal.message) from None

    @property
    def requests(self) -> list[RecordedRequest]:
        """Requests received so far (method, path, headers, body), oldest first."""
        return self._app.recorded() if self._app is not None else []

    def clear_requests(self) -> None:
        if self._app is not None:
            self._app.clear_recorded()

    def revoke(self, certificate_or_serial: Any, reason: Optional[str] = None) -> int:
        """Report a sandbox certificate revoked from now on (OCSP and CRL).

        Revocations live in this running instance only: ``reset()`` and a
        restart forget them, even with a state directory.

        Takes an asn1crypto or cryptography certificate, or a serial number;
        ``reason`` is an asn1crypto CRLReason name such as "key_compromise".
        """
        pki = self._require_running()
        serial = getattr(certificate_or_serial, "serial_number", certificate_or_serial)
        if not isinstance(serial, int) or isinstance(serial, bool):
            raise TypeError("revoke takes a certificate or a serial number")
        if pki.issuer_of_serial(serial) is None:
            raise ValueError("serial %d was not issued by this sandbox" % serial)
        self._revocations.revoke(serial, reason)
        return serial

    def reset(self) -> None:
        """Fault switches off, nothing revoked, recorded requests forgotten."""
        self.faults.clear()
        self._revocations.clear()
        self.clear_requests()

    def _require_running(self) -> SandboxPKI:
        if self.pki is None:
            raise RuntimeError("the sandbox is not started")
        return self.pki

    def _started_url(self) -> str:
        if self.url is None:
            raise RuntimeError("the sandbox is not started")
        return self.url

    def __repr__(self) -> str:
        state = self.url if self.running else "stopped"
        return "Sandbox(%s)" % state
