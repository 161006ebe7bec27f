"""Timestamping entry points: calls, printed lines and the files they leave."""

import json
import os

import pytest

import CorvaneSDK.timestamp as timestamp
from support.fakes import FakeLibrary, FakeRequests, FakeResponse, envelope

CREDENTIALS = {"ts_url": "http://tsa.example/tsr", "ts_username": "ts-user", "ts_password": "ts-pass"}


@pytest.fixture
def library(monkeypatch):
    fake = FakeLibrary()
    fake.install(monkeypatch, timestamp)
    monkeypatch.delattr(timestamp, "open")  # the real built-in open reads the input
    return fake


@pytest.fixture
def service(monkeypatch):
    def answer(*responses, credentials=CREDENTIALS):
        fake = FakeRequests(*responses)
        monkeypatch.setattr(timestamp, "requests", fake)

        def decrypt_data(text, token):
            if isinstance(credentials, Exception):
                raise credentials
            return credentials if isinstance(credentials, bytes) else json.dumps(credentials).encode()

        monkeypatch.setattr(timestamp, "decrypt_data", decrypt_data)
        return fake
    return answer


@pytest.fixture
def files(tmp_path):
    source = tmp_path / "in.pdf"
    source.write_bytes(b"%PDF-input")
    return source, tmp_path / "out.pdf"


def test_timestamp_crvn_calls_the_library_as_agreed(library, service, files, capsys):
    source, target = files
    service(envelope({"_t": "enciphered"}))
    assert timestamp.timestamp_crvn(str(source), str(target), "tok", "ten") is None
    assert capsys.readouterr().out == "Done\n"
    assert target.read_bytes() == b"%PDF-timestamped"
    names = library.calls.names()
    assert names == ["HTTPBasicAuth", "HTTPTimeStamper", "IncrementalPdfFileWriter", "PdfTimeStamper",
                     "ValidationContext", "timestamp_pdf"]
    assert library.calls[0][1] == ("ts-user", "ts-pass")
    assert library.calls[1][1:] == (("http://tsa.example/tsr",), [("auth", "HTTPBasicAuth")])
    (pdf_args, pdf_kwargs), = library.calls.named("timestamp_pdf")
    assert pdf_args == ()
    assert [k for k, _ in pdf_kwargs] == ["pdf_out", "md_algorithm", "timestamper", "validation_context",
                                          "output"]
    assert dict(pdf_kwargs)["md_algorithm"] == "sha256"
    assert library.calls.named("ValidationContext") == [((), [("allow_fetching", True)])]
    assert library.calls.named("PdfTimeStamper")[0][0][0] is dict(pdf_kwargs)["timestamper"]


def test_timestamp_test_uses_rebound_dummy_server_without_the_service(library, monkeypatch, files, capsys):
    source, target = files
    monkeypatch.setattr(timestamp, "requests", FakeRequests())  # any request would fail
    monkeypatch.setattr(timestamp, "DUMMY_HTTP_TS", "http://other.example/TSS/RFC3161sha2TS")
    timestamp.timestamp_test(str(source), str(target), None, None)
    assert capsys.readouterr().out == "Done\n"
    assert library.calls.named("HTTPTimeStamper") == [(("http://other.example/TSS/RFC3161sha2TS",), [])]
    assert "HTTPBasicAuth" not in library.calls.names()


def test_refusal_prints_three_lines_and_opens_nothing(library, service, files, capsys):
    source, target = files
    service(FakeResponse(403, text="forbidden"))
    timestamp.timestamp_crvn(str(source), str(target), "tok", "ten")
    assert capsys.readouterr().out == "Error\nError: get timestamp info\nDone\n"
    assert library.calls == [] and not target.exists()


@pytest.mark.parametrize("response, credentials, text", [
    (envelope({"no_t": 1}), CREDENTIALS, "'_t'"),
    (envelope({"_t": "x"}), {"ts_url": "u", "ts_username": "n"}, "'ts_password'"),
    (FakeResponse(200, json_error=ValueError("not json")), CREDENTIALS, "not json"),
    (ConnectionError("service unreachable"), CREDENTIALS, "service unreachable"),
    (envelope({"_t": "x"}), ValueError("failed authentication"), "failed authentication"),
    (envelope({"_t": "x"}), b"\xff\xfe", "can't decode byte 0xff"),
    (envelope({"_t": "x"}), b"{not json", "Expecting property name"),
])
def test_service_side_failures_print_exception_and_open_nothing(library, service, files, capsys,
                                                                 response, credentials, text):
    source, target = files
    service(response, credentials=credentials)
    timestamp.timestamp_crvn(str(source), str(target), "tok", "ten")
    lines = capsys.readouterr().out.splitlines()
    assert lines[0].startswith("Exception ") and text in lines[0]
    assert lines[1:] == ["Done"]
    assert not target.exists()


def test_wrong_outcome_shape_is_reported(library, monkeypatch, files, capsys):
    source, target = files
    monkeypatch.setattr(timestamp, "crvn_request_timestamp_info", lambda *a: (True,))
    timestamp.timestamp_crvn(str(source), str(target), "tok", "ten")
    assert capsys.readouterr().out == "Exception not enough values to unpack (expected 2, got 1)\nDone\n"


def test_missing_input_is_reported_and_no_output_created(library, service, files, capsys):
    _, target = files
    timestamp.timestamp_test("/nonexistent/in.pdf", str(target), None, None)
    assert capsys.readouterr().out == (
        "Exception [Errno 2] No such file or directory: '/nonexistent/in.pdf'\nDone\n")
    assert not target.exists()


@pytest.mark.parametrize("failure", [RuntimeError("TSA refused"), OSError(5, "I/O error")])
def test_library_failure_keeps_an_existing_output_intact(library, monkeypatch, files, capsys, failure):
    source, target = files
    target.write_bytes(b"precious")

    def failing(output, **_):
        output.write(b"half")
        raise failure

    monkeypatch.setattr(library, "timestamp_pdf", failing)
    timestamp.timestamp_test(str(source), str(target), None, None)
    assert capsys.readouterr().out == "Exception %s\nDone\n" % failure
    assert target.read_bytes() == b"precious"
    assert sorted(os.listdir(target.parent)) == ["in.pdf", "out.pdf"]


def test_unopenable_output_is_reported(library, files, capsys):
    source, _ = files
    target = source.parent / "missing-folder" / "out.pdf"
    timestamp.timestamp_test(str(source), str(target), None, None)
    assert capsys.readouterr().out == (
        "Exception [Errno 2] No such file or directory: '%s'\nDone\n" % target)


def test_interrupt_prints_done_then_propagates(library, monkeypatch, files, capsys):
    source, target = files
    target.write_bytes(b"precious")

    def interrupted(output, **_):
        output.write(b"half")
        raise KeyboardInterrupt

    monkeypatch.setattr(library, "timestamp_pdf", interrupted)
    with pytest.raises(KeyboardInterrupt):
        timestamp.timestamp_test(str(source), str(target), None, None)
    assert capsys.readouterr().out == "Done\n"
    assert target.read_bytes() == b"precious"
    assert sorted(os.listdir(target.parent)) == ["in.pdf", "out.pdf"]


def test_same_path_is_replaced_only_on_success(library, files, capsys):
    source, _ = files
    timestamp.timestamp_test(str(source), str(source), None, None)
    assert source.read_bytes() == b"%PDF-timestamped"


def test_hard_linked_output_is_written_in_place_once_complete(library, monkeypatch, files, capsys):
    source, target = files
    target.write_bytes(b"old content, longer than the timestamped document")
    os.link(target, target.parent / "link.pdf")

    def checked(output, **_):
        output.write(b"%PDF-timestamped")
        assert target.read_bytes().startswith(b"old content")  # nothing in place before the end

    monkeypatch.setattr(library, "timestamp_pdf", checked)
    timestamp.timestamp_test(str(source), str(target), None, None)
    assert capsys.readouterr().out == "Done\n"
    assert (target.parent / "link.pdf").read_bytes() == b"%PDF-timestamped"
    assert sorted(os.listdir(target.parent)) == ["in.pdf", "link.pdf", "out.pdf"]
