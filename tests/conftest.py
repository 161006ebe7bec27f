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


@pytest.fixture
def service(sandbox, monkeypatch):
    """Both client modules pointed at the sandbox."""
    import CorvaneSDK.sign as sign
    import CorvaneSDK.timestamp as timestamp
    for module in (sign, timestamp):
        monkeypatch.setattr(module, "CRVN_DOMAIN_URL", sandbox.url)
        monkeypatch.setattr(module, "DUMMY_HTTP_TS", sandbox.open_tsa_url)
    return sandbox
