"""Calls the type checker must refuse."""

from CorvaneSDK import sign
from CorvaneSDK.CorvaneSign.corvane_signature.config.errors import ConfigurationError

sign.sign_crvn("in.pdf", "out.pdf", "token")
ConfigurationError(42)
sign.BYTES_RESERVED = "many"
