"""The stubs of the compiled modules describe them to a type checker, and the
Python packages pass the strict type check configured in pyproject.toml."""

import pathlib
import subprocess
import sys

import pytest

HERE = pathlib.Path(__file__).parent
ROOT = HERE.parent.parent

mypy = pytest.importorskip("mypy.api", reason="mypy is installed by scripts/setup")


def check(path):
    stdout, stderr, status = mypy.run([str(path), "--no-incremental", "--ignore-missing-imports",
                                       "--python-version", "%d.%d" % sys.version_info[:2]])
    return stdout, status


def test_a_correct_caller_type_checks():
    stdout, status = check(HERE / "example.py")
    assert status == 0, stdout


def test_wrong_calls_are_reported():
    stdout, status = check(HERE / "wrong_example.py")
    assert status == 1
    assert 'Missing positional arguments "tenant_id", "pki"' in stdout
    assert 'Argument 1 to "ConfigurationError" has incompatible type "int"' in stdout
    assert "Incompatible types in assignment" in stdout


def test_stubs_and_marker_are_installed():
    import CorvaneSDK
    package = pathlib.Path(CorvaneSDK.__file__).parent
    for stub in ("sign.pyi", "timestamp.pyi", "py.typed",
                 "CorvaneSign/corvane_signature/config/errors.pyi",
                 "_pdfengine.pyi"):
        assert (package / stub).is_file(), stub


def test_stubs_match_the_runtime_modules(tmp_path):
    config = tmp_path / "mypy.ini"
    # requests ships no type hints before 2.33 (the last release for 3.9): that is not the stubs' fault.
    config.write_text("[mypy]\nignore_missing_imports = True\ndisable_error_code = import-untyped\n")
    result = subprocess.run(
        [sys.executable, "-m", "mypy.stubtest", "CorvaneSDK.sign", "CorvaneSDK.timestamp",
         "CorvaneSDK.CorvaneSign.corvane_signature.config.errors",
         "CorvaneSDK._pdfengine", "--mypy-config-file", str(config)],
        capture_output=True, text=True, cwd=tmp_path)
    assert result.returncode == 0, result.stdout + result.stderr


def test_the_python_packages_pass_the_strict_check(tmp_path):
    # The sources, not the installed package: the configuration names them and
    # the stubs beside them stand for the compiled modules.
    result = subprocess.run([sys.executable, "-m", "mypy", "--config-file", str(ROOT / "pyproject.toml"),
                             "--cache-dir", str(tmp_path)],
                            capture_output=True, text=True, cwd=ROOT)
    assert result.returncode == 0, result.stdout + result.stderr
