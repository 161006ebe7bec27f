"""Private keys of the sandbox PKI: generation, storage and signing.

Two kinds are used: RSA-2048 (PKCS#1 v1.5 signatures) and EC P-256 (ECDSA),
both with SHA-256.
"""

from typing import Any, Union, cast

from asn1crypto import algos, keys as asn1_keys
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec, padding, rsa

__all__ = ["RSA", "EC", "PrivateKey", "new_key", "key_kind", "sign", "signed_digest_algorithm",
           "key_to_pem", "key_from_pem", "public_key_info"]

PrivateKey = Union[rsa.RSAPrivateKey, ec.EllipticCurvePrivateKey]

RSA = "rsa"
EC = "ec"


def new_key(kind: str) -> PrivateKey:
    if kind == RSA:
        return rsa.generate_private_key(public_exponent=65537, key_size=2048)
    if kind == EC:
        return ec.generate_private_key(ec.SECP256R1())
    raise ValueError("unknown key kind %r" % (kind,))


def key_kind(key: object) -> str:
    if isinstance(key, rsa.RSAPrivateKey):
        return RSA
    if isinstance(key, ec.EllipticCurvePrivateKey):
        return EC
    raise TypeError("unsupported key type %s" % type(key).__name__)


def sign(key: PrivateKey, data: bytes) -> bytes:
    """SHA-256 signature of ``data``: PKCS#1 v1.5 for RSA, DER ECDSA for EC."""
    if isinstance(key, rsa.RSAPrivateKey):
        return key.sign(data, padding.PKCS1v15(), hashes.SHA256())
    if isinstance(key, ec.EllipticCurvePrivateKey):
        return key.sign(data, ec.ECDSA(hashes.SHA256()))
    raise TypeError("unsupported key type %s" % type(key).__name__)


def signed_digest_algorithm(key: PrivateKey, cms: bool = False) -> Any:
    """The asn1crypto algorithm identifier for ``sign(key, ...)``.

    In CMS SignerInfo the RSA algorithm is usually given as rsaEncryption; in
    OCSP, CRLs and certificates it names the hash too.
    """
    if key_kind(key) == RSA:
        name = "rsassa_pkcs1v15" if cms else "sha256_rsa"
    else:
        name = "sha256_ecdsa"
    return algos.SignedDigestAlgorithm({"algorithm": name})


def key_to_pem(key: PrivateKey) -> bytes:
    return key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                             serialization.NoEncryption())


def key_from_pem(data: bytes) -> PrivateKey:
    # Any other kind of key is refused by key_kind where the key is used.
    return cast(PrivateKey, serialization.load_pem_private_key(data, password=None))


def public_key_info(key: PrivateKey) -> Any:
    """asn1crypto PublicKeyInfo of a private key's public half."""
    der = key.public_key().public_bytes(serialization.Encoding.DER,
                                        serialization.PublicFormat.SubjectPublicKeyInfo)
    return asn1_keys.PublicKeyInfo.load(der)
