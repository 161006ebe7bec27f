"""``corvane sign`` and ``corvane timestamp``: the Client from a shell.

The API token is read from --token-file or the CORVANE_API_TOKEN environment
variable, never from the command line (where the process list would show it),
and it is never printed. Exit codes: 0 done, 1 refused, 4 the service or a
server it needs did not answer (or not in time), 5 bad input; a batch exits
with the worst code of its files.

Building the parser needs only the standard library; running a command loads
the Client and what it needs, never verification's report or the sandbox.
"""

from __future__ import annotations

import argparse
import os
import stat
import sys
from typing import Any, Callable, Dict, Optional, Union

from .batch import STREAM, Job, plan, run
from .client_loading import client_module
from .errors import BAD_INPUT, REFUSED, UNREACHABLE, CommandError
from .sign_options import add_signature_options, positive_seconds, signature_options

__all__ = ["TOKEN_VARIABLE", "SERVICE_URL", "TEST_TSA_URL", "add_sign_parser", "add_timestamp_parser"]

TOKEN_VARIABLE = "CORVANE_API_TOKEN"
# The fixed modules' CRVN_DOMAIN_URL and DUMMY_HTTP_TS: loading a module (and
# asyncio with it) for two strings would cost more than a small signing.
SERVICE_URL = "https://api.corvane.com"
TEST_TSA_URL = "http://timestamp.entrust.net/TSS/RFC3161sha2TS"

Source = Union[str, bytes]
_UNUSED = "unused"


def _service_needed(arguments: argparse.Namespace) -> bool:
    # Only the test variant of timestamping works without the signing service.
    return arguments.command == "sign" or not arguments.test


def _read_token(arguments: argparse.Namespace) -> Optional[str]:
    if arguments.token_file:
        try:
            with open(arguments.token_file, encoding="utf-8") as handle:
                token = handle.read().strip()
        except OSError as error:
            raise CommandError("cannot read the token file: %s" % error.strerror, BAD_INPUT) from None
    else:
        token = os.environ.get(TOKEN_VARIABLE, "").strip()
    if _service_needed(arguments):
        if not token:
            raise CommandError("no API token: use --token-file or set %s" % TOKEN_VARIABLE, BAD_INPUT)
        if not arguments.tenant:
            raise CommandError("--tenant is required to use the signing service", BAD_INPUT)
    return token or None


def _scrub(text: str, secret: Optional[str]) -> str:
    # The Client keeps secrets out of its messages; a service that echoes the
    # token back in its refusal is not under its control.
    return text.replace(secret, "***") if secret else text


def _client(arguments: argparse.Namespace, token: Optional[str]) -> Any:
    Client = client_module().Client
    settings: Dict[str, Any] = {}
    if arguments.timeout is not None:
        settings["timeout"] = arguments.timeout
    if arguments.test:
        settings["tsa_url"] = arguments.test_tsa_url or TEST_TSA_URL
    service_url = arguments.service_url or SERVICE_URL
    # _read_token made sure of both where the service is used. Timestamps from
    # the test server need neither; the Client takes them all the same and
    # never sends them in that case.
    try:
        return Client(service_url, token or _UNUSED, arguments.tenant or _UNUSED, **settings)
    except ValueError as error:
        raise _failure(error, token) from None


def _failure(error: Exception, token: Optional[str]) -> CommandError:
    """The one line and exit code that tell a user what went wrong."""
    from ..client import OutputError, PdfError, ServiceUnavailable
    if isinstance(error, ServiceUnavailable):
        status = UNREACHABLE
    elif isinstance(error, (PdfError, OutputError, ValueError)):
        status = BAD_INPUT  # ValueError: the Client refused an option's value
    else:
        status = REFUSED
    return CommandError(_scrub(str(error), token), status)


def _source(job: Job) -> Source:
    if job.source == STREAM:
        return sys.stdin.buffer.read()
    try:
        with open(job.source, "rb") as handle:
            if stat.S_ISREG(os.fstat(handle.fileno()).st_mode):
                return job.source  # the Client reads it as it likes best
            # A pipe (e.g. a shell's <(...)) can be read only once: here.
            return handle.read()
    except OSError as error:
        raise CommandError("cannot read %s: %s" % (job.source, error.strerror), BAD_INPUT) from None


def _operate(token: Optional[str], call: Callable[[Source, Optional[str]], Any]) -> Callable[[Job], str]:
    """One job: read, call the client, write standard output when asked."""
    from ..client import CorvaneError

    def operate(job: Job) -> str:
        source = _source(job)
        destination = None if job.destination == STREAM else job.destination
        try:
            result = call(source, destination)
        except (CorvaneError, ValueError) as error:
            raise _failure(error, token) from None
        if destination is None:
            try:
                sys.stdout.buffer.write(result.output)
                sys.stdout.buffer.flush()
            except OSError as error:
                raise CommandError("cannot write standard output: %s" % error.strerror, BAD_INPUT) from None
        return "wrote %s%s" % ("standard output" if destination is None else destination, _details(result))
    return operate


def _details(result: Any) -> str:
    facts = [fact for fact in (result.field, getattr(result, "level", None)) if fact]
    return " (%s)" % ", ".join(facts) if facts else ""


def _sign(arguments: argparse.Namespace) -> int:
    jobs = plan(arguments.paths, arguments.out_dir)
    token = _read_token(arguments)
    client = _client(arguments, token)
    options = signature_options(arguments)
    return run(jobs, _operate(token, lambda source, destination: client.sign(source, destination, **options)),
               "corvane sign")


def _timestamp(arguments: argparse.Namespace) -> int:
    jobs = plan(arguments.paths, arguments.out_dir)
    token = _read_token(arguments)
    client = _client(arguments, token)
    return run(jobs, _operate(token, client.timestamp), "corvane timestamp")


def _add_service_options(parser: argparse.ArgumentParser, pki: bool) -> None:
    parser.add_argument("paths", nargs="+", metavar="FILE",
                        help="IN OUT, or several IN with --out-dir; - as IN is standard input, as OUT "
                             "standard output")
    parser.add_argument("--out-dir", metavar="DIR",
                        help="write each IN to DIR under its own name (created when missing)")
    parser.add_argument("--tenant", help="tenant identifier at the signing service")
    if pki:
        parser.add_argument("--pki", required=True, help="signing infrastructure, e.g. rsa or ecdsa")
        who = parser.add_mutually_exclusive_group()
        who.add_argument("--user-id", help="signing user's identifier")
        who.add_argument("--email", help="signing user's e-mail address")
    parser.add_argument("--token-file", help="file holding the API token (else $%s)" % TOKEN_VARIABLE)
    parser.add_argument("--service-url", help="base URL of the signing service")
    parser.add_argument("--timeout", type=positive_seconds, metavar="SECONDS",
                        help="give up on a server that has not answered after this long (default 30)")
    parser.add_argument("--test", action="store_true",
                        help="timestamp with the public test server instead of the service's")
    parser.add_argument("--test-tsa-url", help="timestamp server used with --test")


def add_sign_parser(commands: argparse._SubParsersAction[argparse.ArgumentParser]) -> None:
    parser = commands.add_parser("sign", help="sign PDFs with the remote service")
    _add_service_options(parser, pki=True)
    add_signature_options(parser)
    parser.set_defaults(run=_sign)


def add_timestamp_parser(commands: argparse._SubParsersAction[argparse.ArgumentParser]) -> None:
    parser = commands.add_parser("timestamp", help="add a document timestamp to PDFs")
    _add_service_options(parser, pki=False)
    parser.set_defaults(run=_timestamp)
