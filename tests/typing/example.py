"""A caller of the SDK as a user writes one; type-checked by the tests."""

import asyncio

from CorvaneSDK import sign, timestamp
from CorvaneSDK.CorvaneSign.corvane_signature.config.errors import ConfigurationError


def sign_one(path: str) -> None:
    sign.sign_crvn(path, path + ".signed.pdf", "token", "tenant", "rsa", email="a@example.org")
    timestamp.timestamp_test(path, path + ".ts.pdf", None, None)


async def sign_in_loop(path: str) -> None:
    await sign.full_procedure(path, path + ".signed.pdf", "token", "tenant", "rsa", None, None)
    digest, output = await sign.prep_document(path, "Signature1", "reason")
    reserved: int = sign.BYTES_RESERVED
    ok, payload = sign.crvn_request_user_info("token", "tenant", None, None)


def configuration_message(error: ConfigurationError) -> str:
    return error.msg


if __name__ == "__main__":
    asyncio.run(sign_in_loop("x.pdf"))
