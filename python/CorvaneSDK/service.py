"""Credential cipher shared with the signing service.

The service hands out timestamp-server credentials enciphered under the
caller's API token ("_t").  The text is URL-safe Base64 of
``version || nonce || AES-256-GCM ciphertext and tag``; the key is derived
from the token with HKDF-SHA256.  Error messages never carry the token or
the plaintext.
"""

from __future__ import annotations

import base64
import binascii
import os
from typing import Union

from cryptography.exceptions import InvalidTag
from cryptography.hazmat.primitives import hashes
from cryptography.hazmat.primitives.ciphers.aead import AESGCM
from cryptography.hazmat.primitives.kdf.hkdf import HKDF

__all__ = ["decrypt_data", "encrypt_data"]

_VERSION = 1
_NONCE_SIZE = 12
_TAG_SIZE = 16
_SALT = b"corvane-sdk/credential-cipher/salt/v1"
_INFO = b"corvane-sdk/timestamp-credentials"

ApiToken = Union[str, bytes, bytearray]


def _key(api_token: ApiToken) -> bytes:
    if isinstance(api_token, str):
        token = api_token.encode("utf-8")
    elif isinstance(api_token, (bytes, bytearray)):
        token = bytes(api_token)
    else:
        raise ValueError(
            "API token must be text, not %s" % type(api_token).__name__)
    if not token:
        raise ValueError("API token is empty")
    hkdf = HKDF(algorithm=hashes.SHA256(), length=32, salt=_SALT, info=_INFO)
    return hkdf.derive(token)


def encrypt_data(plaintext_bytes: bytes | bytearray | memoryview, api_token: ApiToken) -> str:
    """Encipher ``plaintext_bytes`` under ``api_token``; returns text."""
    if not isinstance(plaintext_bytes, (bytes, bytearray, memoryview)):
        raise ValueError(
            "plaintext must be bytes, not %s" % type(plaintext_bytes).__name__)
    nonce = os.urandom(_NONCE_SIZE)
    sealed = AESGCM(_key(api_token)).encrypt(
        nonce, bytes(plaintext_bytes), bytes([_VERSION]))
    return base64.urlsafe_b64encode(bytes([_VERSION]) + nonce + sealed).decode("ascii")


def decrypt_data(token_text: str, api_token: ApiToken) -> bytes:
    """Decipher the service's ``token_text`` with ``api_token``; returns bytes."""
    if not isinstance(token_text, str):
        raise ValueError(
            "enciphered credentials must be text, not %s" % type(token_text).__name__)
    try:
        raw = base64.urlsafe_b64decode(token_text.encode("ascii"))
    except (UnicodeEncodeError, binascii.Error):
        raise ValueError("enciphered credentials are not URL-safe Base64") from None
    if len(raw) < 1 + _NONCE_SIZE + _TAG_SIZE:
        raise ValueError("enciphered credentials are truncated (%d bytes)" % len(raw))
    if raw[0] != _VERSION:
        raise ValueError("enciphered credentials have unknown version %d" % raw[0])
    nonce = raw[1:1 + _NONCE_SIZE]
    try:
        return AESGCM(_key(api_token)).decrypt(nonce, raw[1 + _NONCE_SIZE:], raw[:1])
    except InvalidTag:
        raise ValueError(
            "enciphered credentials failed authentication: wrong API token "
            "or altered text") from None
