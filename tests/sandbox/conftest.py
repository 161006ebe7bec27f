"""Helpers for the sandbox tests: openssl as the independent oracle."""

import subprocess

import pytest
from asn1crypto import pem


@pytest.fixture
def openssl(tmp_path):
    """Run ``openssl ARGS...`` in tmp_path; returns the CompletedProcess (text)."""
    def run(*args, check=True):
        done = subprocess.run(["openssl"] + [str(arg) for arg in args], cwd=tmp_path,
                              capture_output=True, text=True, timeout=60)
        if check and done.returncode != 0:
            raise AssertionError("openssl %s failed:\n%s%s" % (args[0], done.stdout, done.stderr))
        return done
    return run


@pytest.fixture
def pem_file(tmp_path):
    """Write asn1crypto certificates to a PEM file in tmp_path; returns its path."""
    def write(name, *certificates):
        path = tmp_path / name
        path.write_bytes(b"".join(pem.armor("CERTIFICATE", cert.dump()) for cert in certificates))
        return path
    return write


@pytest.fixture
def verify_signature():
    """Check a SHA-256 signature (RSA PKCS#1 v1.5 or ECDSA) with cryptography."""
    from cryptography import x509
    from cryptography.hazmat.primitives import hashes
    from cryptography.hazmat.primitives.asymmetric import ec, padding, rsa

    def verify(certificate, signature, data):
        public_key = x509.load_der_x509_certificate(certificate.dump()).public_key()
        if isinstance(public_key, rsa.RSAPublicKey):
            public_key.verify(signature, data, padding.PKCS1v15(), hashes.SHA256())
        else:
            assert isinstance(public_key, ec.EllipticCurvePublicKey)
            public_key.verify(signature, data, ec.ECDSA(hashes.SHA256()))
    return verify
