"""``corvane sign`` and ``corvane timestamp``: the two clients from a shell.

The API token is read from --token-file or the CORVANE_API_TOKEN environment
variable, never from the command line (where the process list would show it),
and it is never printed. Success means the output file was written: the
clients report a refusal only by printing, so the command checks the file and
repeats the service's answer.
"""

import contextlib
import io
import os
import signal
import sys
import threading

from .errors import CommandError

__all__ = ["TOKEN_VARIABLE", "add_sign_parser", "add_timestamp_parser", "rebound"]

TOKEN_VARIABLE = "CORVANE_API_TOKEN"


def _service_needed(arguments):
    # Only the test variant of timestamping works without the signing service.
    return arguments.command == "sign" or not arguments.test


def _read_token(arguments):
    if arguments.token_file:
        try:
            with open(arguments.token_file, encoding="utf-8") as handle:
                token = handle.read().strip()
        except OSError as error:
            raise CommandError("cannot read the token file: %s" % error.strerror) from None
    else:
        token = os.environ.get(TOKEN_VARIABLE, "").strip()
    if _service_needed(arguments):
        if not token:
            raise CommandError("no API token: use --token-file or set %s" % TOKEN_VARIABLE)
        if not arguments.tenant:
            raise CommandError("--tenant is required to use the signing service")
    return token or None


def file_identity(path):
    """What changes when a file is replaced: None when there is no file."""
    try:
        status = os.stat(path)
    except OSError:
        return None
    return (status.st_dev, status.st_ino, status.st_mtime_ns, status.st_size)


@contextlib.contextmanager
def rebound(module, **values):
    """Temporarily sets module globals (the clients read them at call time); None keeps a value."""
    saved = {name: getattr(module, name) for name in values}
    for name, value in values.items():
        if value is not None:
            setattr(module, name, value)
    try:
        yield
    finally:
        for name, value in saved.items():
            setattr(module, name, value)


@contextlib.contextmanager
def _refusals_recorded(module, request_names, refusals):
    """Wraps the module's service requests to keep the text of a refusal."""
    originals = {name: getattr(module, name) for name in request_names}

    def wrap(request):
        def recording(*args):
            outcome = request(*args)
            if isinstance(outcome, tuple) and len(outcome) == 2 and not outcome[0]:
                refusals.append(str(outcome[1]))
            return outcome
        return recording

    for name, request in originals.items():
        setattr(module, name, wrap(request))
    try:
        yield
    finally:
        for name, request in originals.items():
            setattr(module, name, request)


@contextlib.contextmanager
def _terminated_by_exception():
    """SIGTERM ends the command by an exception rather than on the spot, so
    the client removes its unfinished output file on the way out."""
    if threading.current_thread() is not threading.main_thread():
        yield
        return

    def terminate(signum, frame):
        raise SystemExit(128 + signum)

    previous = signal.signal(signal.SIGTERM, terminate)
    try:
        yield
    finally:
        signal.signal(signal.SIGTERM, previous if previous is not None else signal.SIG_DFL)


def _scrub(text, secret):
    return text.replace(secret, "***") if secret else text


def _run_client(arguments, module, entry, args, request_names):
    """Runs a client entry point; raises CommandError unless it wrote the output."""
    token = args[2]
    before = file_identity(arguments.output)
    refusals = []
    # The clients print their own lines; they pass through here so that no
    # text of theirs can carry the token out.
    printed = io.StringIO()
    try:
        with rebound(module, CRVN_DOMAIN_URL=arguments.service_url, DUMMY_HTTP_TS=arguments.test_tsa_url), \
                _refusals_recorded(module, request_names, refusals), contextlib.redirect_stdout(printed), \
                _terminated_by_exception():
            entry(*args)
    except Exception as error:
        raise CommandError(_scrub("%s: %s" % (type(error).__name__, error), token)) from None
    finally:
        sys.stdout.write(_scrub(printed.getvalue(), token))
    after = file_identity(arguments.output)
    if after is None or after == before:
        reason = "no output was written"
        if refusals:
            reason += "; the signing service answered: %s" % _scrub(refusals[-1].strip(), token)
        raise CommandError(reason)
    print("wrote %s" % arguments.output, file=sys.stderr)


def _sign(arguments):
    from .. import sign
    token = _read_token(arguments)
    entry = sign.sign_test if arguments.test else sign.sign_crvn
    _run_client(arguments, sign, lambda *a: entry(*a, user_id=arguments.user_id, email=arguments.email),
                (arguments.input, arguments.output, token, arguments.tenant, arguments.pki),
                ("crvn_request_user_info", "crvn_request_certificate_info"))
    return 0


def _timestamp(arguments):
    from .. import timestamp
    token = _read_token(arguments)
    entry = timestamp.timestamp_test if arguments.test else timestamp.timestamp_crvn
    _run_client(arguments, timestamp, entry,
                (arguments.input, arguments.output, token, arguments.tenant),
                ("crvn_request_timestamp_info",))
    return 0


def _add_service_options(parser, pki):
    parser.add_argument("input", help="PDF to read")
    parser.add_argument("output", help="PDF to write (replaced only when complete)")
    parser.add_argument("--tenant", help="tenant identifier at the signing service")
    if pki:
        parser.add_argument("--pki", required=True, help="signing infrastructure, e.g. rsa or ecdsa")
        who = parser.add_mutually_exclusive_group()
        who.add_argument("--user-id", help="signing user's identifier")
        who.add_argument("--email", help="signing user's e-mail address")
    parser.add_argument("--token-file", help="file holding the API token (else $%s)" % TOKEN_VARIABLE)
    parser.add_argument("--service-url", help="base URL of the signing service")
    parser.add_argument("--test", action="store_true",
                        help="timestamp with the public test server instead of the service's")
    parser.add_argument("--test-tsa-url", help="timestamp server used with --test")


def add_sign_parser(commands):
    parser = commands.add_parser("sign", help="sign a PDF with the remote service")
    _add_service_options(parser, pki=True)
    parser.set_defaults(run=_sign)


def add_timestamp_parser(commands):
    parser = commands.add_parser("timestamp", help="add a document timestamp to a PDF")
    _add_service_options(parser, pki=False)
    parser.set_defaults(run=_timestamp)
