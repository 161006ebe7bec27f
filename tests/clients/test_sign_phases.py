"""The two signing phases drive the library with exactly these calls."""

import asyncio
import io

import pytest

import CorvaneSDK.sign as sign
from support.fakes import FakeLibrary


@pytest.fixture
def library(monkeypatch):
    fake = FakeLibrary()
    fake.output = io.BytesIO(b"prepared")
    fake.install(monkeypatch, sign)
    return fake


def test_preparation_lays_out_with_a_placeholder_signer(library):
    coroutine = sign.prep_document("in.pdf", "Field", "why")
    assert asyncio.iscoroutine(coroutine) and library.calls == []
    result = asyncio.run(coroutine)
    assert result == (library.prepared_digest, library.output)
    assert library.calls == [
        ("ExternalSigner", (), [("signature_value", bytes(256)), ("signing_cert", None),
                                ("cert_registry", None)]),
        ("PdfSignatureMetadata", (), [("md_algorithm", "sha256"), ("reason", "why"),
                                      ("field_name", "Field"), ("subfilter", FakeLibrary.PADES)]),
        ("PdfSigner", library.calls[2][1], library.calls[2][2]),
        ("open", ("in.pdf", "rb"), []),
        ("IncrementalPdfFileWriter", ("open",), []),
        ("async_digest_doc_for_signing", ("IncrementalPdfFileWriter",), [("bytes_reserved", 30842)]),
    ]
    (signer_args, signer_kwargs), = library.calls.named("PdfSigner")
    assert len(signer_args) == 1 and [k for k, _ in signer_kwargs] == ["signer"]


def test_preparation_reserves_the_current_bytes_reserved(library, monkeypatch):
    monkeypatch.setattr(sign, "BYTES_RESERVED", 1234)
    asyncio.run(sign.prep_document("in.pdf", "F", "r"))
    assert library.calls.named("async_digest_doc_for_signing")[0][1] == [("bytes_reserved", 1234)]


@pytest.mark.parametrize("result, error", [
    ((1, 2), "not enough values to unpack"),
    ((1, 2, 3, 4), "too many values to unpack"),
    (None, "cannot unpack non-iterable NoneType object"),
])
def test_preparation_requires_exactly_three_items(library, monkeypatch, result, error):
    monkeypatch.setattr(library, "digest_result", lambda: result)
    with pytest.raises((ValueError, TypeError), match=error):
        asyncio.run(sign.prep_document("in.pdf", "F", "r"))


def test_preparation_propagates_open_errors_unchanged(monkeypatch, library):
    monkeypatch.delattr(sign, "open")
    with pytest.raises(FileNotFoundError):
        asyncio.run(sign.prep_document("/nonexistent/in.pdf", "F", "r"))


def complete(user="user", password="pass"):
    return sign.proceed_with_signing("in.pdf", "Field", "DIGEST-OBJ", "OUT", b"sig", "CERT",
                                     "http://tsa", user, password)


def test_completion_calls_in_order_with_exact_arguments(library):
    library.prepared_digest = "SECOND-DIGEST"
    digest = type("D", (), {"document_digest": b"d" * 32})()
    coroutine = sign.proceed_with_signing("in.pdf", "Field", digest, "OUT", b"sig", "CERT",
                                          "http://tsa", "user", "pass")
    assert asyncio.run(coroutine) is None
    calls = library.calls
    assert calls.names() == [
        "HTTPTimeStamper", "HTTPBasicAuth", "HTTPTimeStamper", "SimpleCertificateStore", "ExternalSigner",
        "signed_attrs", "async_sign_prescribed_attributes", "ValidationContext", "DSSContentSettings",
        "PdfSignatureMetadata", "PdfSigner", "open", "IncrementalPdfFileWriter",
        "async_digest_doc_for_signing", "async_finish_signing",
    ]
    assert calls[0][1:] == (("http://tsa",), [])
    assert calls[1][1:] == (("user", "pass"), [])
    assert calls[2][1:] == (("http://tsa",), [("auth", "HTTPBasicAuth")])
    assert calls[3][1:] == ((), [])
    assert calls[4][1:] == ((), [("signing_cert", "CERT"), ("signature_value", b"sig"),
                                 ("cert_registry", "SimpleCertificateStore"), ("embed_roots", True)])
    assert calls[5][1:] == ((b"d" * 32, "sha256"), [("use_pades", True)])
    args, kwargs = calls[6][1:]
    assert args == ("sha256",) and [k for k, _ in kwargs] == ["signed_attrs", "timestamper"]
    assert kwargs[0][1] == "SIGNED-ATTRS"
    assert type(kwargs[1][1]).__name__ == "HTTPTimeStamper"
    assert calls[7][1:] == ((), [("allow_fetching", True)])
    assert calls[8][1:] == ((), [("include_vri", False)])
    assert calls[9][1:] == ((), [("field_name", "Field"), ("embed_validation_info", True),
                                 ("use_pades_lta", True), ("subfilter", FakeLibrary.PADES),
                                 ("validation_context", "ValidationContext"), ("md_algorithm", "sha256"),
                                 ("dss_settings", "DSSContentSettings")])
    assert [k for k, _ in calls[10][2]] == ["signer"] and len(calls[10][1]) == 1
    assert calls[11][1:] == (("in.pdf", "rb"), [])
    assert calls[13][1:] == (("IncrementalPdfFileWriter",), [])
    assert calls[14][1:] == (("OUT",), [("prepared_digest", digest), ("signature_cms", "SIG-CMS"),
                                        ("post_sign_instr", "PSI"),
                                        ("validation_context", "ValidationContext")])


@pytest.mark.parametrize("user, password, authenticated", [
    ("user", "pass", True), ("user", "", False), ("", "pass", False), (None, None, False),
    ("user", None, False),
])
def test_basic_auth_only_with_both_credentials(library, user, password, authenticated):
    library.prepared_digest = "x"
    digest = type("D", (), {"document_digest": b"d"})()
    asyncio.run(sign.proceed_with_signing("in", "F", digest, "OUT", b"s", "C", "http://tsa", user, password))
    assert library.calls.names().count("HTTPTimeStamper") == (2 if authenticated else 1)
    assert ("HTTPBasicAuth" in library.calls.names()) is authenticated


def test_password_truth_is_not_tested_when_user_name_is_false(library):
    class Untestable:
        def __bool__(self):
            raise AssertionError("password tested")

    digest = type("D", (), {"document_digest": b"d"})()
    asyncio.run(sign.proceed_with_signing("in", "F", digest, "OUT", b"s", "C", "http://t", "", Untestable()))


@pytest.mark.parametrize("name, arguments", [
    ("prep_document", 3), ("proceed_with_signing", 9), ("full_procedure", 7), ("full_procedure_test", 7),
])
def test_coroutine_functions_return_coroutines_that_have_not_started(library, name, arguments):
    coroutine = getattr(sign, name)(*range(arguments))
    assert asyncio.iscoroutine(coroutine)
    assert type(coroutine).__name__ == "coroutine" and coroutine.__name__ == name
    coroutine.close()
    assert library.calls == []
