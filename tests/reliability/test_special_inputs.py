"""Inputs that are no regular file (a pipe, /dev/zero) and settings out of
range, through both clients: each is refused with the library's own error
that says what is wrong, promptly and without reading without end."""

import os
import threading

import pytest

import CorvaneSDK.sign as sign
import CorvaneSDK.timestamp as timestamp
from CorvaneSDK.CorvaneSign.corvane_signature import exceptions
from CorvaneSDK.CorvaneSign.corvane_signature.config.errors import ConfigurationError
from CorvaneSDK import _pdfengine
from support.sample_pdfs import document


@pytest.fixture(params=["fifo", "dev-zero"])
def special_input(request, tmp_path):
    if request.param == "dev-zero":
        yield "/dev/zero", "character device"
        return
    path = tmp_path / "in.pdf"
    os.mkfifo(path)

    def feed():  # a writer that offers a whole document, as `cat doc.pdf >` would
        try:
            with open(path, "wb") as stream:
                stream.write(document())
        except OSError:
            pass  # the reader gave up: that is the point

    writer = threading.Thread(target=feed, daemon=True)
    writer.start()
    yield str(path), "pipe"
    # Unblock a writer still waiting for a reader, then let it finish.
    try:
        os.close(os.open(path, os.O_RDONLY | os.O_NONBLOCK))
    except OSError:
        pass
    writer.join(10)


def test_signing_refuses_an_input_that_is_no_regular_file(service, special_input, tmp_path):
    source, kind = special_input
    with pytest.raises(exceptions.PdfReadError, match="is a %s, not a regular file" % kind):
        sign.sign_test(source, str(tmp_path / "out.pdf"), service.api_token, service.tenant_id, "rsa")
    assert not (tmp_path / "out.pdf").exists()
    assert not [r for r in service.requests if "sign-info" in r.path]


def test_timestamping_refuses_an_input_that_is_no_regular_file(service, special_input, tmp_path, capsys):
    source, kind = special_input
    timestamp.timestamp_test(source, str(tmp_path / "out.pdf"), None, None)
    first, last = capsys.readouterr().out.splitlines()
    assert first.startswith("Exception ") and "is a %s, not a regular file" % kind in first and last == "Done"
    assert not (tmp_path / "out.pdf").exists()


@pytest.mark.parametrize("reserved", [2 ** 62, 2 ** 100])
def test_an_oversized_reservation_is_a_configuration_error(service, monkeypatch, tmp_path, reserved):
    source = tmp_path / "in.pdf"
    source.write_bytes(document())
    monkeypatch.setattr(sign, "BYTES_RESERVED", reserved)
    with pytest.raises(ConfigurationError, match="bytes_reserved may be at most"):
        sign.sign_test(str(source), str(tmp_path / "out.pdf"), service.api_token, service.tenant_id, "rsa")
    assert sorted(os.listdir(tmp_path)) == ["in.pdf"]


def test_names_that_are_not_utf8_do_not_stop_either_client(service, tmp_path, capsys):
    source = tmp_path / "in.pdf"
    source.write_bytes(document(catalog_extra=b"/AcroForm << /Fields [20 0 R 21 0 R] >>",
                                extra_objects={20: b"<< /FT /Tx#FF /T <FEFFD800> /V (x) >>",
                                               21: b"<< /FT /Sig /T <FEFFDC00> /V << /Type /Sig /SubFilter /x#FF "
                                                   b"/ByteRange [0 1 2 3] /Contents <00> >> >>"}))
    sign.sign_test(str(source), str(tmp_path / "signed.pdf"), service.api_token, service.tenant_id, "rsa")
    timestamp.timestamp_test(str(source), str(tmp_path / "stamped.pdf"), None, None)
    assert capsys.readouterr().out.splitlines() == ["Done"]
    signed = _pdfengine.open((tmp_path / "signed.pdf").read_bytes())
    assert [name for name, *_ in signed.signatures()][1:] == ["Signature1", "DocumentTimestamp1"]
    stamped = _pdfengine.open((tmp_path / "stamped.pdf").read_bytes())
    assert [name for name, *_ in stamped.signatures()][1:] == ["DocumentTimestamp1"]
