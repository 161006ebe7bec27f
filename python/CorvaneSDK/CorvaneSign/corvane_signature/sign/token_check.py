"""Checking an RFC 3161 TimeStampToken before it is trusted.

The token must be a SignedData over a TSTInfo whose imprint (and nonce, when
one was sent) is the one asked for, signed by exactly one signer whose
certificate travels in the token and, at the token's time, has a valid path
for time stamping up to the top of the chain the token carries.  Whether
that top is trusted is the verifier's question, not the timestamp client's.
"""

import hashlib
from typing import Any, List, Optional, Tuple, Union

from asn1crypto import cms, tsp

from ...corvane_certvalidator.chain import ChainBuilder
from ...corvane_certvalidator.cms_certs import certificates_in, signer_certificate
from ...corvane_certvalidator.naming import describe
from ...corvane_certvalidator.purposes import TIMESTAMPING
from ...corvane_certvalidator.registry import SimpleCertificateStore
from ...corvane_certvalidator.signatures import UnsupportedSignatureAlgorithm, verify_signature

from ..exceptions import TimestampError, ValidationError

__all__ = ["check_timestamp_token", "check_token_integrity", "signed_attrs_der"]


def signed_attrs_der(signer_info: Any) -> bytes:
    """The DER that a SignerInfo's signature covers: its signed attributes with the SET tag."""
    der: bytes = signer_info["signed_attrs"].untag().dump()
    return der


def _attr_values(attrs: Any, name: str) -> List[Any]:
    for attr in attrs:
        if attr["type"].native == name:
            return list(attr["values"])
    return []


def _check_ess_certificate(attrs: Any, tsa_cert: Any) -> None:
    """If the token names its signing certificate, it must be the certificate used."""
    for attr_name, hash_name in (("signing_certificate_v2", None), ("signing_certificate", "sha1")):
        for value in _attr_values(attrs, attr_name):
            cert_ids = value["certs"]
            if not len(cert_ids):
                continue
            first = cert_ids[0]
            algo = hash_name or first["hash_algorithm"]["algorithm"].native
            try:
                expected = hashlib.new(algo, tsa_cert.dump()).digest()
            except ValueError:
                raise TimestampError("token names its certificate with unsupported hash %s" % algo)
            if first["cert_hash"].native != expected:
                raise TimestampError("token's signing-certificate attribute does not match "
                                     "the TSA certificate it carries")


def _carried_path_top(tsa_cert: Any, carried: List[Any]) -> Any:
    """The top of the chain the token's certificates give for ``tsa_cert`` (itself when they give none)."""
    pool = SimpleCertificateStore()
    pool.register_multiple(carried)
    if len(pool) == 1 and tsa_cert in pool:
        # Tokens often carry their signer's certificate alone: no chain to
        # build, and no failed search whose report is thrown away.
        return tsa_cert
    try:
        return ChainBuilder(pool, SimpleCertificateStore()).build(tsa_cert)[-1]
    except ValidationError:
        return tsa_cert


def check_timestamp_token(token: Any, message_digest: Union[bytes, bytearray], md_algorithm: str = "sha256",
                          nonce: Optional[int] = None) -> Any:
    """Check ``token`` (a ``cms.ContentInfo``) and return its ``tsp.TSTInfo``.

    Raises TimestampError describing the first problem found.
    """
    tst_info, tsa_cert = check_token_integrity(token, message_digest, md_algorithm, nonce)
    carried = certificates_in(token)
    from ...corvane_certvalidator.path_policy import PathError, validate_path  # loads cryptography.x509

    try:
        validate_path(tsa_cert, carried, [_carried_path_top(tsa_cert, carried)], tst_info["gen_time"].native,
                      TIMESTAMPING)
    except PathError as error:
        raise TimestampError(str(error))
    return tst_info


def check_token_integrity(token: Any, message_digest: Union[bytes, bytearray], md_algorithm: str = "sha256",
                          nonce: Optional[int] = None) -> Tuple[Any, Any]:
    """``(tst_info, tsa_certificate)`` of ``token`` when it stamps ``message_digest`` and its
    signature verifies with the certificate it carries; says nothing about that certificate's path.

    Raises TimestampError describing the first problem found.
    """
    if not isinstance(token, cms.ContentInfo) or token["content_type"].native != "signed_data":
        raise TimestampError("timestamp token is not a CMS SignedData")
    signed_data = token["content"]
    encap = signed_data["encap_content_info"]
    if encap["content_type"].native != "tst_info" or not encap["content"]:
        raise TimestampError("timestamp token does not hold a TSTInfo")
    econtent = bytes(encap["content"])
    try:
        tst_info = tsp.TSTInfo.load(econtent)
        imprint = tst_info["message_imprint"]
        imprint_algo = imprint["hash_algorithm"]["algorithm"].native
        imprint_hash = imprint["hashed_message"].native
        token_nonce = tst_info["nonce"].native
    except (ValueError, TypeError) as exc:
        raise TimestampError("timestamp token's TSTInfo cannot be decoded (%s)" % exc)

    if imprint_algo != md_algorithm or imprint_hash != bytes(message_digest):
        raise TimestampError("imprint mismatch: the token timestamps other data (%s %s) than requested"
                             % (imprint_algo, imprint_hash.hex()[:16] + "..."))
    if nonce is not None and token_nonce != nonce:
        raise TimestampError("nonce mismatch: the token answers another request")

    signer_infos = signed_data["signer_infos"]
    if len(signer_infos) != 1:
        raise TimestampError("timestamp token has %d signers instead of one" % len(signer_infos))
    signer_info = signer_infos[0]
    tsa_cert = signer_certificate(signed_data, signer_info)
    if tsa_cert is None:
        raise TimestampError("timestamp token does not carry the TSA certificate")

    signed_attrs = signer_info["signed_attrs"]
    if not signed_attrs:
        raise TimestampError("timestamp token's signer has no signed attributes")
    # Taken before the attributes are parsed: parsing fills in DEFAULT fields,
    # after which every dump re-encodes them.
    attrs_der = signed_attrs_der(signer_info)
    digest_algo = signer_info["digest_algorithm"]["algorithm"].native
    content_types = _attr_values(signed_attrs, "content_type")
    digests = _attr_values(signed_attrs, "message_digest")
    if len(content_types) != 1 or content_types[0].native != "tst_info":
        raise TimestampError("timestamp token's signed content type is not TSTInfo")
    try:
        econtent_digest = hashlib.new(digest_algo, econtent).digest()
    except ValueError:
        raise TimestampError("timestamp token uses unsupported digest %s" % digest_algo)
    if len(digests) != 1 or digests[0].native != econtent_digest:
        raise TimestampError("bad signature: the token's message digest does not match its TSTInfo")
    _check_ess_certificate(signed_attrs, tsa_cert)
    try:
        valid = verify_signature(tsa_cert.public_key, attrs_der,
                                 signer_info["signature"].native,
                                 signer_info["signature_algorithm"], digest_algo)
    except UnsupportedSignatureAlgorithm as exc:
        raise TimestampError("timestamp token signature cannot be checked: %s" % exc)
    if not valid:
        raise TimestampError("bad signature: the token does not verify with TSA certificate %s"
                             % describe(tsa_cert))
    return tst_info, tsa_cert
