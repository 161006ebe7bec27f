"""Assembling the detached CMS SignedData around an external signature value."""

from typing import Any, Iterable, Optional, Sequence

from asn1crypto import algos, cms, core

from ...corvane_certvalidator.naming import describe
from ..exceptions import SigningError
from ..asn1_values import encoded_once

__all__ = ["signature_algorithm_for", "signature_size_for", "build_signed_data"]


def signature_algorithm_for(cert: Any, md_algorithm: str = "sha256") -> Any:
    """The SignerInfo signature algorithm that fits ``cert``'s key."""
    key_algo = cert.public_key.algorithm
    if key_algo == "rsa":
        # RSA PKCS#1 v1.5 identifiers carry explicit NULL parameters.
        return algos.SignedDigestAlgorithm({"algorithm": "%s_rsa" % md_algorithm,
                                            "parameters": core.Null()})
    if key_algo == "ec":
        return algos.SignedDigestAlgorithm({"algorithm": "%s_ecdsa" % md_algorithm})
    raise SigningError("certificate %s has a %s key; only RSA and EC keys are supported"
                       % (describe(cert), key_algo))


def signature_size_for(cert: Any) -> int:
    """Largest size in bytes of a signature value made with ``cert``'s key."""
    key = cert.public_key
    if key.algorithm == "rsa":
        modulus_bits: int = key.bit_size
        return (modulus_bits + 7) // 8
    if key.algorithm == "ec":
        # DER SEQUENCE of two INTEGERs, each possibly one byte longer for the sign.
        curve_bits: int = key.bit_size
        coordinate = (curve_bits + 7) // 8
        return 2 * (coordinate + 1 + 3) + 4
    return 512


def build_signed_data(signing_cert: Any, signature_value: bytes, signed_attrs: Any, certificates: Iterable[Any],
                      md_algorithm: str = "sha256", unsigned_attrs: Optional[Sequence[Any]] = None) -> Any:
    """A ``cms.ContentInfo`` holding a detached SignedData with one SignerInfo.

    ``certificates`` join the signer's certificate, each only once (DER sorts the set).
    The container is encoded once: its dump() gives those bytes without re-encoding.
    """
    embedded = []
    seen = set()
    for cert in [signing_cert] + list(certificates):
        der = cert.dump()
        if der not in seen:
            seen.add(der)
            embedded.append(cms.CertificateChoices(name="certificate", value=cert))
    signer_info = {
        "version": "v1",
        "sid": cms.SignerIdentifier(name="issuer_and_serial_number", value={
            "issuer": signing_cert.issuer,
            "serial_number": signing_cert.serial_number,
        }),
        "digest_algorithm": algos.DigestAlgorithm({"algorithm": md_algorithm}),
        "signed_attrs": signed_attrs,
        "signature_algorithm": signature_algorithm_for(signing_cert, md_algorithm),
        "signature": bytes(signature_value),
    }
    if unsigned_attrs:
        signer_info["unsigned_attrs"] = cms.CMSAttributes(unsigned_attrs)
    signed_data = {
        "version": "v1",
        "digest_algorithms": [algos.DigestAlgorithm({"algorithm": md_algorithm})],
        "encap_content_info": {"content_type": "data"},
        "certificates": embedded,
        "signer_infos": [encoded_once(cms.SignerInfo, signer_info)],
    }
    return encoded_once(cms.ContentInfo, {"content_type": "signed_data",
                                          "content": cms.SignedData(signed_data)})

