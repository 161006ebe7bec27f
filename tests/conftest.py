"""Fixtures shared by the whole suite."""

import pytest

from CorvaneSDK.sandbox import Sandbox


@pytest.fixture(scope="session")
def _sandbox_session():
    with Sandbox() as running:
        yield running


@pytest.fixture
def sandbox(_sandbox_session):
    """The session's running sandbox; its fault switches, revocations and
    recorded requests are reset after each test that uses it."""
    yield _sandbox_session
    _sandbox_session.reset()
