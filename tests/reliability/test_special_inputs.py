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
