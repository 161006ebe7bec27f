"""A Client pointed at the sandbox, and the verification of what it made."""

import pytest

from CorvaneSDK import Client
from CorvaneSDK.verification.trust_anchors import trust_roots
from CorvaneSDK.verification import verify_pdf
from support.sample_pdfs import document


@pytest.fixture
def client(sandbox):
    return Client(sandbox.url, sandbox.api_token, sandbox.tenant_id, timeout=10.0, retries=1)


@pytest.fixture
def pdf():
    return document()


@pytest.fixture
def report_of(sandbox):
    """The verification report of some bytes, trusting the sandbox's root."""
    return lambda data: verify_pdf(data, trust_roots([sandbox.root_cert_path]))
