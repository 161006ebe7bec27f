"""What importing each client module binds, in which order, and where it must live."""

import importlib.machinery
import importlib.util
import shutil
import sys

import pytest

import CorvaneSDK.sign as sign
import CorvaneSDK.timestamp as timestamp

SIGN_NAMES = [
    "asyncio", "base64", "json", "requests", "HTTPBasicAuth", "x509", "decrypt_data",
    "signers", "fields", "timestamps", "PdfTBSDocument", "DSSContentSettings",
    "IncrementalPdfFileWriter", "ValidationContext", "SimpleCertificateStore", "format_date",
    "BYTES_RESERVED", "DUMMY_HTTP_TS", "CRVN_DOMAIN_URL",
    "crvn_request_certificate_info", "crvn_request_user_info", "prep_document",
    "proceed_with_signing", "full_procedure", "full_procedure_test", "sign_crvn", "sign_test",
]
TIMESTAMP_NAMES = [
    "json", "requests", "HTTPBasicAuth", "decrypt_data", "signers", "timestamps",
    "IncrementalPdfFileWriter", "ValidationContext", "BYTES_RESERVED", "DUMMY_HTTP_TS",
    "CRVN_DOMAIN_URL", "crvn_request_timestamp_info", "timestamp_crvn", "timestamp_test",
]


def own_names(module):
    return [name for name in vars(module) if not name.startswith("__")]


@pytest.mark.parametrize("module, names", [(sign, SIGN_NAMES), (timestamp, TIMESTAMP_NAMES)])
def test_names_are_bound_in_module_body_order(module, names):
    assert own_names(module) == names


@pytest.mark.parametrize("module", [sign, timestamp])
def test_modules_are_compiled_without_python_source(module):
    assert module.__file__.endswith(".abi3.so")
    stem = module.__name__.rsplit(".", 1)[1]
    folder = module.__file__.rsplit("/", 1)[0]
    import os
    assert not any(name.startswith(stem + ".py") for name in os.listdir(folder))


def test_imported_objects_are_the_libraries():
    import asyncio, base64, json
    import requests
    from asn1crypto import x509
    from CorvaneSDK import service
    from CorvaneSDK.CorvaneSign.corvane_signature.sign import signers, fields, timestamps
    from CorvaneSDK.CorvaneSign.corvane_certvalidator import ValidationContext
    assert (sign.asyncio, sign.base64, sign.json, sign.requests) == (asyncio, base64, json, requests)
    assert sign.HTTPBasicAuth is requests.auth.HTTPBasicAuth and sign.x509 is x509
    assert sign.decrypt_data is service.decrypt_data is timestamp.decrypt_data
    assert (sign.signers, sign.fields, sign.timestamps) == (signers, fields, timestamps)
    assert sign.ValidationContext is ValidationContext is timestamp.ValidationContext


@pytest.mark.parametrize("module", [sign, timestamp])
def test_constants(module):
    assert module.BYTES_RESERVED == 30842
    assert module.DUMMY_HTTP_TS.startswith("http://")
    assert module.DUMMY_HTTP_TS.endswith("/TSS/RFC3161sha2TS")
    assert module.DUMMY_HTTP_TS.count("/") == 4
    assert module.CRVN_DOMAIN_URL.startswith("https://")
    assert module.CRVN_DOMAIN_URL.count("/") == 2 and not module.CRVN_DOMAIN_URL.endswith("/")


@pytest.mark.parametrize("module, first_relative", [(sign, "service"), (timestamp, "service")])
def test_loading_the_file_outside_the_package_fails_at_the_relative_import(tmp_path, module, first_relative):
    stem = module.__name__.rsplit(".", 1)[1]
    copy = tmp_path / ("%s.abi3.so" % stem)
    shutil.copy(module.__file__, copy)
    loader = importlib.machinery.ExtensionFileLoader(stem, str(copy))
    spec = importlib.util.spec_from_file_location(stem, str(copy), loader=loader)
    loaded = importlib.util.module_from_spec(spec)
    with pytest.raises(ImportError, match="relative import"):
        spec.loader.exec_module(loaded)
    # Everything before the first relative import was bound.
    assert "x509" in vars(loaded) or "HTTPBasicAuth" in vars(loaded)
    assert "decrypt_data" not in vars(loaded)
    assert stem not in sys.modules


FUNCTIONS = [
    (sign.crvn_request_certificate_info, 5, 5, "api_token"),
    (sign.crvn_request_user_info, 4, 4, "api_token"),
    (sign.prep_document, 3, 3, "input_file"),
    (sign.proceed_with_signing, 9, 9, "input_file"),
    (sign.full_procedure, 7, 7, "input_file"),
    (sign.full_procedure_test, 7, 7, "input_file"),
    (sign.sign_crvn, 5, 7, "input_file"),
    (sign.sign_test, 5, 7, "input_file"),
    (timestamp.crvn_request_timestamp_info, 2, 2, "api_token"),
    (timestamp.timestamp_crvn, 4, 4, "input_file"),
    (timestamp.timestamp_test, 4, 4, "input_file"),
]


@pytest.mark.parametrize("function, required, total, first", FUNCTIONS,
                         ids=lambda f: getattr(f, "__name__", ""))
def test_argument_errors_raise_type_error_before_any_work(function, required, total, first, capsys):
    name = function.__name__
    with pytest.raises(TypeError, match=r"%s\(\) missing 1 required" % name):
        function(*range(required - 1))
    with pytest.raises(TypeError, match=r"%s\(\) takes .* but %d were given" % (name, total + 1)):
        function(*range(total + 1))
    with pytest.raises(TypeError, match="unexpected keyword argument 'colour'"):
        function(*range(required), colour=1)
    with pytest.raises(TypeError, match="multiple values for argument"):
        function(*range(required), **{first: 0})
    assert capsys.readouterr().out == ""


@pytest.mark.parametrize("function", [entry[0] for entry in FUNCTIONS], ids=lambda f: f.__name__)
def test_functions_have_no_docstring(function):
    assert function.__doc__ is None
