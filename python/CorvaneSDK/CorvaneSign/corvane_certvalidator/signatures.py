"""Checking a signature made with a certificate's key.

Certificates, CRLs, OCSP responses, timestamp tokens and CMS containers all
come down to the same question: does this signature, under this algorithm,
verify over these bytes with this public key?  The ASN.1 side is asn1crypto,
the arithmetic is cryptography.
"""

from typing import Any, Dict, Optional, Type

from asn1crypto import algos, keys
from cryptography.exceptions import InvalidSignature, UnsupportedAlgorithm
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec, ed448, ed25519, padding, rsa
from cryptography.hazmat.primitives.asymmetric.types import PublicKeyTypes

__all__ = ["UnsupportedSignatureAlgorithm", "verify_signature", "load_public_key"]

_HASHES: Dict[str, Type[hashes.HashAlgorithm]] = {
    "sha1": hashes.SHA1,
    "sha224": hashes.SHA224,
    "sha256": hashes.SHA256,
    "sha384": hashes.SHA384,
    "sha512": hashes.SHA512,
    "sha3_224": hashes.SHA3_224,
    "sha3_256": hashes.SHA3_256,
    "sha3_384": hashes.SHA3_384,
    "sha3_512": hashes.SHA3_512,
}


class UnsupportedSignatureAlgorithm(ValueError):
    """The signature uses an algorithm or key type this library does not check."""


def load_public_key(public_key_info: Any) -> PublicKeyTypes:
    """The cryptography public key of an asn1crypto ``keys.PublicKeyInfo``."""
    try:
        return serialization.load_der_public_key(public_key_info.dump())
    except (ValueError, UnsupportedAlgorithm) as exc:
        raise UnsupportedSignatureAlgorithm(
            "public key of type %s cannot be loaded: %s" % (public_key_info.algorithm, exc))


def _hash(name: str) -> hashes.HashAlgorithm:
    try:
        return _HASHES[name]()
    except KeyError:
        raise UnsupportedSignatureAlgorithm("digest algorithm %r is not supported" % name)


def _hash_name(algorithm: Any, digest_algorithm: Optional[str]) -> str:
    try:
        name: str = algorithm.hash_algo
        return name
    except ValueError:
        # CMS may name the bare key algorithm (rsaEncryption, ecPublicKey) and
        # carry the digest separately in the SignerInfo.
        if digest_algorithm is None:
            raise UnsupportedSignatureAlgorithm(
                "signature algorithm %s needs a digest algorithm" % algorithm["algorithm"].native)
        return digest_algorithm


def verify_signature(public_key_info: Any, data: bytes, signature: bytes, algorithm: Any,
                     digest_algorithm: Optional[str] = None) -> bool:
    """True when ``signature`` over ``data`` verifies with ``public_key_info``.

    ``algorithm`` is an asn1crypto ``SignedDigestAlgorithm`` (or its dict
    form); ``digest_algorithm`` names the hash when the algorithm itself does
    not (CMS SignerInfos).  A key that does not fit the algorithm is simply a
    signature that does not verify; an algorithm we do not know raises
    UnsupportedSignatureAlgorithm.
    """
    if not isinstance(algorithm, algos.SignedDigestAlgorithm):
        algorithm = algos.SignedDigestAlgorithm(algorithm)
    if not isinstance(public_key_info, keys.PublicKeyInfo):
        raise TypeError("public key must be an asn1crypto keys.PublicKeyInfo")
    try:
        sig_algo = algorithm.signature_algo
    except ValueError:
        raise UnsupportedSignatureAlgorithm(
            "signature algorithm %s is not supported" % algorithm["algorithm"].dotted)
    key = load_public_key(public_key_info)
    data = bytes(data)
    signature = bytes(signature)
    try:
        if sig_algo == "rsassa_pkcs1v15":
            if not isinstance(key, rsa.RSAPublicKey):
                return False
            key.verify(signature, data, padding.PKCS1v15(), _hash(_hash_name(algorithm, digest_algorithm)))
        elif sig_algo == "rsassa_pss":
            if not isinstance(key, rsa.RSAPublicKey):
                return False
            params = algorithm["parameters"]
            mgf_hash = params["mask_gen_algorithm"]["parameters"]["algorithm"].native
            key.verify(signature, data,
                       padding.PSS(mgf=padding.MGF1(_hash(mgf_hash)),
                                   salt_length=params["salt_length"].native),
                       _hash(params["hash_algorithm"]["algorithm"].native))
        elif sig_algo == "ecdsa":
            if not isinstance(key, ec.EllipticCurvePublicKey):
                return False
            key.verify(signature, data, ec.ECDSA(_hash(_hash_name(algorithm, digest_algorithm))))
        elif sig_algo == "ed25519":
            if not isinstance(key, ed25519.Ed25519PublicKey):
                return False
            key.verify(signature, data)
        elif sig_algo == "ed448":
            if not isinstance(key, ed448.Ed448PublicKey):
                return False
            key.verify(signature, data)
        else:
            raise UnsupportedSignatureAlgorithm("signature algorithm %s is not supported" % sig_algo)
    except InvalidSignature:
        return False
    return True
