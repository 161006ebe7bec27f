"""Fixtures of the library tests: a throw-away PKI and its stand-ins."""

import pytest

from support.library_pki import FakeSigner, FakeTimestamper, LibraryPki


@pytest.fixture(scope="session")
def pki(tmp_path_factory):
    return LibraryPki(str(tmp_path_factory.mktemp("pki")))


@pytest.fixture
def timestamper(pki):
    return FakeTimestamper(pki)


@pytest.fixture
def signer(pki):
    return FakeSigner(pki)
