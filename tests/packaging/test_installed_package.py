"""The installed package stands on its own: its extension modules carry qpdf
and its libraries inside, and show the interpreter nothing but their init
function."""

import importlib.metadata
import pathlib
import re
import subprocess
import sys

import CorvaneSDK

MODULES = sorted(pathlib.Path(CorvaneSDK.__file__).parent.rglob("*.so"))

# Libraries the modules contain, which must never be looked up at load time.
CONTAINED = re.compile(r"qpdf|gnutls|nettle|libz\.|jpeg")


def _run(*command):
    return subprocess.run(command, capture_output=True, text=True, check=True).stdout


def test_modules_need_no_pdf_compression_or_crypto_library():
    assert sorted(module.name.split(".")[0] for module in MODULES) == [
        "_pdfengine", "_procedures", "errors", "sign", "timestamp"]
    for module in MODULES:
        needed = _run("ldd", str(module))
        assert "not found" not in needed, needed
        assert not CONTAINED.search(needed), "%s needs:\n%s" % (module.name, needed)


def test_modules_export_only_their_init_function():
    for module in MODULES:
        exported = [line.split()[-1] for line in
                    _run("nm", "-D", "--defined-only", str(module)).splitlines() if line.strip()]
        assert exported == ["PyInit_" + module.name.split(".")[0]], (module.name, exported[:20])


def test_command_reports_the_installed_version():
    printed = _run(sys.executable, "-m", "CorvaneSDK", "--version")
    assert printed.strip() == "corvane " + importlib.metadata.version("CorvaneSDK")
