"""The `corvane` command: sign, timestamp and verify PDFs from a shell.

    corvane sign IN OUT | IN... --out-dir DIR --tenant T --pki rsa [--user-id U | --email E]
        [--field F] [--reason R] [--location L] [--contact C] [--visible PAGE:X1,Y1,X2,Y2]
        [--certify N] [--level B-B|B-T|B-LT|B-LTA] [--timeout S] [--test]
    corvane timestamp IN OUT | IN... --out-dir DIR [--tenant T] [--timeout S] [--test]
    corvane verify FILE [--trust CA.pem ...] [--json]
    corvane sandbox [--port N] [--state-dir DIR] [--config FILE]
    corvane demo [IN] [OUT]
"""

from __future__ import annotations

import argparse
import sys
from typing import NoReturn, Optional, Sequence

from .demo_command import add_demo_parser
from .errors import BAD_INPUT, CommandError
from .service_commands import add_sign_parser, add_timestamp_parser
from .verify_command import add_verify_parser

__all__ = ["main", "build_parser"]


class _Version(argparse.Action):
    """--version: the installed version, looked up only when asked (the lookup is slow)."""

    def __init__(self, option_strings: Sequence[str], dest: str, **kwargs: object) -> None:
        super().__init__(option_strings, dest, nargs=0, help="print the version and exit")

    def __call__(self, parser: argparse.ArgumentParser, namespace: argparse.Namespace,
                 values: object, option_string: Optional[str] = None) -> None:
        from .. import __version__
        print("%s %s" % (parser.prog, __version__))
        parser.exit()


class _Parser(argparse.ArgumentParser):
    """A usage mistake is bad input: one line, exit code 5."""

    def error(self, message: str) -> NoReturn:
        self.exit(BAD_INPUT, "%s: %s (see %s --help)\n" % (self.prog, message, self.prog))


def build_parser() -> argparse.ArgumentParser:
    parser: argparse.ArgumentParser = _Parser(
        prog="corvane", description="Sign, timestamp and verify PDF documents with the Corvane service.")
    parser.add_argument("--version", action=_Version)
    commands = parser.add_subparsers(dest="command", required=True)  # _Parser too: argparse uses the parent's class
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
    try:
        arguments = build_parser().parse_args(argv)
    except SystemExit as stop:  # --help, --version, or a usage mistake already reported
        return stop.code if isinstance(stop.code, int) else BAD_INPUT
    try:
        status: int = arguments.run(arguments)
        return status
    except CommandError as error:
        print("corvane %s: %s" % (arguments.command, error), file=sys.stderr)
        return error.status
    except KeyboardInterrupt:
        print("corvane %s: interrupted" % arguments.command, file=sys.stderr)
        return 130
