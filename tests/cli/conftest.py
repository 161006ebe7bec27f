"""Fixtures of the command-line tests: the command run in this process, and
documents signed by the sandbox at each PAdES level."""

import json
import pathlib

import pytest

from CorvaneSDK import cli
from support.sample_pdfs import document
from support.sandbox_signing import LEVELS, sign_at_level

SCHEMA_PATH = pathlib.Path(cli.__file__).parent / "verify-report.schema.json"


class Run:
    def __init__(self, code, out, err):
        self.code, self.out, self.err = code, out, err

    @property
    def report(self):
        return json.loads(self.out)

    def entry(self, field):
        return next(entry for entry in self.report["signatures"] if entry["field"] == field)


@pytest.fixture
def corvane(capsys):
    """Runs ``corvane ARGS`` in this process: exit code, stdout and stderr."""
    def run(*argv):
        capsys.readouterr()
        code = cli.main([str(argument) for argument in argv])
        captured = capsys.readouterr()
        return Run(code, captured.out, captured.err)
    return run


@pytest.fixture(scope="session")
def signed_at(_sandbox_session, tmp_path_factory):
    """{level: path} of one-page documents signed at each PAdES level."""
    folder = tmp_path_factory.mktemp("levels")
    files = {}
    for level in LEVELS:
        files[level] = folder / ("%s.pdf" % level)
        files[level].write_bytes(sign_at_level(_sandbox_session, document(), level))
    return files


@pytest.fixture(scope="session")
def schema():
    return json.loads(SCHEMA_PATH.read_text(encoding="utf-8"))
