"""Builds the test-only host-layer extension for the running interpreter."""

import importlib
import os
import pathlib
import shutil
import subprocess
import sys

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
PROBE_SOURCE = ROOT / "tests" / "host" / "probe"


def _sanitized():
    """Whether this interpreter runs with the address sanitizer's runtime loaded
    (scripts/sanitize): the probe is then instrumented too."""
    try:
        return "libasan" in pathlib.Path("/proc/self/maps").read_text()
    except OSError:
        return False


def _build_probe():
    sanitized = _sanitized()
    build_dir = ROOT / "build" / ("host-probe-%d.%d%s" % (*sys.version_info[:2], "-sanitize" * sanitized))
    bin_dir = pathlib.Path(sys.executable).parent
    env = dict(os.environ, PATH=str(bin_dir) + os.pathsep + os.environ.get("PATH", ""))
    cmake = shutil.which("cmake", path=env["PATH"])
    if cmake is None:
        pytest.fail("cmake is needed to build the host-layer probe (pip install cmake)")
    configure = [cmake, "-S", str(PROBE_SOURCE), "-B", str(build_dir),
                 "-DPython_EXECUTABLE=" + sys.executable, "-DCMAKE_BUILD_TYPE=Debug"]
    if sanitized:
        configure += ["-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined -fno-sanitize-recover=undefined "
                      "-fno-omit-frame-pointer",
                      "-DCMAKE_MODULE_LINKER_FLAGS=-fsanitize=address,undefined"]
    if shutil.which("ninja", path=env["PATH"]):
        configure += ["-G", "Ninja"]
    for command in (configure, [cmake, "--build", str(build_dir), "-j2"]):
        result = subprocess.run(command, env=env, capture_output=True, text=True)
        if result.returncode != 0:
            pytest.fail("building the host probe failed:\n%s\n%s" % (result.stdout, result.stderr))
    return build_dir


@pytest.fixture(scope="session")
def probe():
    build_dir = _build_probe()
    sys.path.insert(0, str(build_dir))
    try:
        yield importlib.import_module("_host_probe")
    finally:
        sys.path.remove(str(build_dir))
