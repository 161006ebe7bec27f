"""``corvane demo [IN] [OUT]``: the whole round trip on this machine.

Starts the sandbox in this process, signs IN (the bundled sample when
omitted) with ``sign_crvn`` against it, then verifies OUT trusting only the
sandbox's root certificate and prints the report: a valid B-LTA signature.
"""

from __future__ import annotations

import argparse
import contextlib
import os
import sys
from types import ModuleType
from typing import Any, Iterator, List, Optional, Tuple

from .errors import CommandError

__all__ = ["add_demo_parser", "DEFAULT_OUTPUT", "sample_pdf"]

DEFAULT_OUTPUT = "corvane-demo-signed.pdf"
SAMPLE_NAME = "demo-sample.pdf"


def sample_pdf() -> bytes:
    """The bytes of the small PDF shipped with the package for the demo."""
    try:
        from importlib.resources import files
    except ImportError:  # CPython 3.8 has no files(); the package needs 3.9 anyway
        raise CommandError("the bundled sample needs Python 3.9 or later") from None
    return files(__package__).joinpath(SAMPLE_NAME).read_bytes()


def file_identity(path: str) -> Optional[Tuple[int, int, int, int]]:
    """What changes when a file is replaced: None when there is no file."""
    try:
        status = os.stat(path)
    except OSError:
        return None
    return (status.st_dev, status.st_ino, status.st_mtime_ns, status.st_size)


@contextlib.contextmanager
def rebound(module: ModuleType, **values: object) -> Iterator[None]:
    """Temporarily sets module globals, as the modules' callers may (they are read at call time)."""
    saved = {name: getattr(module, name) for name in values}
    for name, value in values.items():
        setattr(module, name, value)
    try:
        yield
    finally:
        for name, value in saved.items():
            setattr(module, name, value)


def _say(line: str = "") -> None:
    print(line, flush=True)


def _sign_in_sandbox(source: str, label: str, output: str) -> List[Any]:
    from .. import sign
    from ..sandbox import Sandbox
    _say("Starting the local sandbox: test PKI, signing service, timestamp server, OCSP and CRLs ...")
    try:
        with Sandbox(log=False) as sandbox:
            # A running sandbox has both.
            assert sandbox.api_token is not None and sandbox.root_cert_path is not None
            user = sandbox.users[0]
            _say("Sandbox running at %s (tenant %s)" % (sandbox.url, sandbox.tenant_id))
            _say("Signing %s as %s with CorvaneSDK.sign.sign_crvn ..." % (label, user["user_full_name"]))
            before = file_identity(output)
            try:
                with rebound(sign, CRVN_DOMAIN_URL=sandbox.url):
                    sign.sign_crvn(source, output, sandbox.api_token, sandbox.tenant_id, "rsa",
                                   user_id=user["user_id"])
            except Exception as error:
                raise CommandError("signing failed: %s: %s" % (type(error).__name__, error)) from None
            if file_identity(output) in (None, before):
                raise CommandError("the sandbox refused to sign: no output was written")
            _say("Wrote %s; verifying it, trusting only the sandbox root certificate" % output)
            from .verify_command import load_trust_roots
            return load_trust_roots([sandbox.root_cert_path])
    except OSError as error:
        raise CommandError("the sandbox cannot start: %s" % error) from None


def _demo(arguments: argparse.Namespace) -> int:
    # Here, not at the top: the other commands build this one's parser too.
    import tempfile

    from ..verification.verdicts import exit_code
    from .report_text import render_report
    from .verify_command import verify_file
    output = arguments.output or DEFAULT_OUTPUT
    with tempfile.TemporaryDirectory(prefix="corvane-demo-") as folder:
        source = label = arguments.input
        if source is None:
            source, label = os.path.join(folder, SAMPLE_NAME), "the bundled sample PDF"
            with open(source, "wb") as handle:
                handle.write(sample_pdf())
        elif not os.path.isfile(source):
            raise CommandError("%s is not a file" % source)
        roots = _sign_in_sandbox(source, label, output)
    report = verify_file(output, roots)
    _say()
    sys.stdout.write(render_report(report))
    return exit_code(report["indication"])


def add_demo_parser(commands: argparse._SubParsersAction[argparse.ArgumentParser]) -> None:
    parser = commands.add_parser(
        "demo", help="sign a PDF against an in-process sandbox and verify it",
        description="Starts the sandbox in this process, signs IN with sign_crvn against it and "
                    "prints the verification report of the result.")
    parser.add_argument("input", nargs="?", help="PDF to sign (default: a bundled one-page sample)")
    parser.add_argument("output", nargs="?", help="where to write the signed PDF (default: %s)" % DEFAULT_OUTPUT)
    parser.set_defaults(run=_demo)
