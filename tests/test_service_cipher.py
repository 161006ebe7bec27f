import base64
import os

import pytest

from CorvaneSDK.service import decrypt_data, encrypt_data

TOKEN = "tok-" + "s3cr3t-api-token-value"


@pytest.mark.parametrize("size", [0, 1, 15, 16, 17, 1000, 65536])
def test_round_trip_random_payloads(size):
    payload = os.urandom(size)
    token = base64.urlsafe_b64encode(os.urandom(24)).decode()
    text = encrypt_data(payload, token)
    assert isinstance(text, str)
    assert decrypt_data(text, token) == payload


def test_each_encryption_uses_a_fresh_nonce():
    assert encrypt_data(b"same", TOKEN) != encrypt_data(b"same", TOKEN)


def _flip(text, index):
    raw = bytearray(base64.urlsafe_b64decode(text))
    raw[index] ^= 0x01
    return base64.urlsafe_b64encode(bytes(raw)).decode()


PLAINTEXT = b'{"ts_password": "tsa-pass-word"}'


@pytest.mark.parametrize("bad_text, token, problem", [
    (lambda t: t, "another-token", "authentication"),
    (lambda t: _flip(t, 20), TOKEN, "authentication"),
    (lambda t: _flip(t, 0), TOKEN, "version"),
    (lambda t: _flip(t, 5), TOKEN, "authentication"),
    (lambda t: t[:20], TOKEN, "truncated"),
    (lambda t: "not base64 !!", TOKEN, "Base64"),
    (lambda t: "ﬀ", TOKEN, "Base64"),
    (lambda t: t.encode(), TOKEN, "must be text"),
    (lambda t: None, TOKEN, "must be text"),
    (lambda t: t, None, "API token"),
    (lambda t: t, "", "API token"),
])
def test_failures_raise_value_error_without_secrets(bad_text, token, problem):
    text = encrypt_data(PLAINTEXT, TOKEN)
    with pytest.raises(ValueError) as error:
        decrypt_data(bad_text(text), token)
    message = str(error.value)
    assert problem in message
    for secret in (TOKEN, "another-token", "tsa-pass-word", text):
        assert secret not in message
