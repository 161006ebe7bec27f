"""A sandbox per test module, with faults, revocations and recorded requests reset around each test."""

import pytest

from CorvaneSDK.sandbox import Sandbox


@pytest.fixture(scope="module")
def sb():
    with Sandbox(log=False) as running:
        yield running


@pytest.fixture(autouse=True)
def clean_sandbox(sb):
    sb.reset()
    yield
    sb.reset()
