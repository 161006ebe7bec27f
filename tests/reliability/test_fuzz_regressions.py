"""Inputs the fuzzer (scripts/fuzz) found, fed through the Python binding
along the path the fuzz target takes: each ends in a signed layout that reads
back, or in one of the library's own exceptions; never in a crash or a
SystemError (a C++ logic error reaching Python)."""

import os

import pytest

from CorvaneSDK.CorvaneSign.corvane_signature import exceptions
from CorvaneSDK import _pdfengine

FOLDER = os.path.join(os.path.dirname(__file__), os.pardir, "fuzz_regressions")
INPUTS = sorted(name for name in os.listdir(FOLDER) if not name.startswith("."))


def sign_like_the_library(data):
    document = _pdfengine.open(data)
    document.signatures()
    document.fields()
    document.certification_permission()
    update, byte_range = document.prepare_signature("Signature1", "/ETSI.CAdES.detached", 2048,
                                                    reason="Signer Name: \u00e9", signing_time="D:20240101000000Z")
    assert byte_range[0] == 0 and sum(byte_range[2:]) == len(data) + len(update)
    dss = _pdfengine.open((data, update)).append_dss([b"\x30\x03\x02\x01\x01"], [], [b"\x30\x00"])
    stamped = _pdfengine.open((data, update, dss))
    stamped.prepare_signature("DocumentTimestamp1", "/ETSI.RFC3161", 2048, document_timestamp=True)


@pytest.mark.parametrize("name", INPUTS)
def test_fuzzer_input_is_handled(name):
    with open(os.path.join(FOLDER, name), "rb") as stream:
        data = stream.read()
    try:
        sign_like_the_library(data)
    except exceptions.CorvaneSignError as error:
        assert str(error)
