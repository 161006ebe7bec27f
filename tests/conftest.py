"""Fixtures shared by the whole suite."""

import os

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


def pytest_addoption(parser):
    parser.addoption("--run-slow", action="store_true", default=False,
                     help="also run the tests marked slow")


def pytest_collection_modifyitems(config, items):
    if config.getoption("--run-slow") or os.environ.get("CORVANE_RUN_SLOW") == "1":
        return
    skip = pytest.mark.skip(reason="slow: run with --run-slow or CORVANE_RUN_SLOW=1")
    for item in items:
        if "slow" in item.keywords:
            item.add_marker(skip)
