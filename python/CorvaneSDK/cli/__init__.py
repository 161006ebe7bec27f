"""The `corvane` command: sign, timestamp and verify PDFs from a shell.

    corvane sign IN OUT --tenant T --pki rsa [--user-id U | --email E] [--test]
    corvane timestamp IN OUT [--tenant T] [--test]
    corvane verify FILE [--trust CA.pem ...] [--json]
    corvane sandbox [--port N] [--state-dir DIR] [--config FILE]
    corvane demo [IN] [OUT]
"""

from __future__ import annotations

import argparse
import sys
from typing import Optional, Sequence

from .. import __version__
from .demo_command import add_demo_parser
from .errors import CommandError
from .service_commands import add_sign_parser, add_timestamp_parser
from .verify_command import add_verify_parser

__all__ = ["main", "build_parser"]


def build_parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog="corvane", description="Sign, timestamp and verify PDF documents with the Corvane service.")
    parser.add_argument("--version", action="version", version="%(prog)s " + __version__)
    commands = parser.add_subparsers(dest="command", required=True)
    add_sign_parser(commands)
    add_timestamp_parser(commands)
    add_verify_parser(commands)
    # Listed for --help; main() hands its arguments to the sandbox untouched.
    commands.add_parser("sandbox", help="run the local stand-in of the service (see: sandbox --help)")
    add_demo_parser(commands)
    return parser


def main(argv: Optional[Sequence[str]] = None) -> int:
    argv = sys.argv[1:] if argv is None else list(argv)
    if argv[:1] == ["sandbox"]:
        # Everything after the command belongs to the sandbox's own options.
        from ..sandbox.__main__ import main as sandbox_main
        return sandbox_main(argv[1:])
    arguments = build_parser().parse_args(argv)
    try:
        status: int = arguments.run(arguments)
        return status
    except CommandError as error:
        print("corvane %s: %s" % (arguments.command, error), file=sys.stderr)
        return error.status
