"""``python -m CorvaneSDK.sandbox``: run the sandbox in the foreground."""

from __future__ import annotations

import argparse
import signal
import sys
import threading
from typing import Optional, Sequence

from .config import SandboxConfigError
from .core import Sandbox


def _parse_args(argv: Optional[Sequence[str]]) -> argparse.Namespace:
    parser = argparse.ArgumentParser(
        prog="python -m CorvaneSDK.sandbox",
        description="Local stand-in for the Corvane signing service, its timestamp "
                    "servers, OCSP responders, CRLs and CA certificates.")
    parser.add_argument("--port", type=int, default=0,
                        help="port on 127.0.0.1 (default: a free one)")
    parser.add_argument("--state-dir", metavar="DIR",
                        help="keep keys, certificates and generated tokens here between runs")
    parser.add_argument("--config", metavar="FILE",
                        help="JSON file with tenants, users, tokens and timestamp credentials")
    argv = list(sys.argv[1:] if argv is None else argv)
    if argv[:1] == ["--"]:
        # Forwarded by a wrapper command as "sandbox -- --port N".
        argv = argv[1:]
    args = parser.parse_args(argv)
    if not 0 <= args.port <= 65535:
        parser.error("--port must be between 0 and 65535")
    return args


def _describe(sandbox: Sandbox) -> str:
    lines = [
        "Corvane sandbox running at %s" % sandbox.url,
        "  tenant id        %s" % sandbox.tenant_id,
        # A development token the sandbox made for itself: printing it here is the point.
        "  API token        %s" % sandbox.api_token,
    ]
    if sandbox.other_tenant_id is not None:
        lines.append("  other tenant id  %s (API token %s)"
                     % (sandbox.other_tenant_id, sandbox.other_api_token))
    lines.append("  users:")
    for user in sandbox.users:
        lines.append("    %-10s %s, %s, division %s, %s" % (
            user["user_id"], user["user_full_name"], user["user_company_name"],
            user["division"] if user["division"] is not None else "(none)", user["user_email"]))
    lines += [
        "  timestamp server %s (HTTP Basic, credentials via \"_t\")" % sandbox.tsa_url,
        "  open timestamp   %s" % sandbox.open_tsa_url,
        "  CA bundle        %s" % sandbox.ca_bundle_path,
        "  root certificate %s" % sandbox.root_cert_path,
        "Press Ctrl-C to stop.",
    ]
    return "\n".join(lines)


def main(argv: Optional[Sequence[str]] = None) -> int:
    args = _parse_args(argv)
    try:
        sandbox = Sandbox(state_dir=args.state_dir, config=args.config, port=args.port)
    except SandboxConfigError as error:
        print("sandbox: %s" % error, file=sys.stderr)
        return 2
    stop = threading.Event()
    # Set explicitly: a process started from a background job inherits SIGINT
    # ignored, and Ctrl-C would then never stop it.
    for number in (signal.SIGINT, signal.SIGTERM):
        signal.signal(number, lambda *_: stop.set())
    try:
        with sandbox:
            print(_describe(sandbox), flush=True)
            while not stop.wait(0.5):
                pass
    except OSError as error:
        print("sandbox: cannot start: %s" % error, file=sys.stderr)
        return 1
    print("Corvane sandbox stopped.", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
