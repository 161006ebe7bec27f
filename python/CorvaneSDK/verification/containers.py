"""The cryptographic checks of one signature: its CMS container against the
bytes it signs, and RFC 3161 timestamp tokens against what they stamp.

The CMS and certificate work is the signature library's (asn1crypto and
cryptography underneath); this module only decides what to check against
what and keeps the answers.
"""

from __future__ import annotations

import datetime
import hashlib
from typing import Any, Callable, List, Optional, Protocol, Tuple

from asn1crypto import cms, tsp

from ..CorvaneSign.corvane_certvalidator.cms_certs import (
    certificates_in,
    signature_timestamp_tokens,
    signer_certificate,
)
from ..CorvaneSign.corvane_certvalidator.decoding import decode_all
from ..CorvaneSign.corvane_certvalidator.signatures import UnsupportedSignatureAlgorithm, verify_signature
from ..CorvaneSign.corvane_signature.exceptions import TimestampError
from ..CorvaneSign.corvane_signature.sign.token_check import check_token_integrity, signed_attrs_der

__all__ = ["ContainerError", "SignatureCheck", "TokenCheck", "check_signature", "check_token"]


class ContainerError(ValueError):
    """The /Contents of a signature is not a usable CMS container."""


def load_container(contents: bytes) -> Any:
    """The ``cms.ContentInfo`` (SignedData) in a signature's /Contents (zero padding allowed)."""
    try:
        info = cms.ContentInfo.load(contents)
        if info["content_type"].native != "signed_data":
            raise ContainerError("the container holds %s, not CMS signed data" % info["content_type"].native)
        signed_data = info["content"]
        if len(signed_data["signer_infos"]) != 1:
            raise ContainerError("the container has %d signers instead of one" % len(signed_data["signer_infos"]))
        decode_all(signed_data["signer_infos"][0])  # decode everything now, so damage shows here
        return info
    except (ValueError, TypeError, KeyError) as error:
        if isinstance(error, ContainerError):
            raise
        raise ContainerError("the signature's /Contents is not a CMS container (%s)" % error)


def _attribute(attributes: Any, name: str) -> Optional[Any]:
    values = [attr["values"] for attr in attributes or [] if attr["type"].native == name]
    return values[0][0] if len(values) == 1 and len(values[0]) == 1 else None


def _names_certificate(attributes: Any, cert: Any) -> Optional[bool]:
    """Whether the ESS signing-certificate attribute (v2, or v1) names ``cert``; None when absent."""
    for name, default_hash in (("signing_certificate_v2", "sha256"), ("signing_certificate", "sha1")):
        value = _attribute(attributes, name)
        if value is None:
            continue
        cert_ids = value["certs"]
        if not len(cert_ids):
            return False
        first = cert_ids[0]
        algorithm = default_hash
        if name == "signing_certificate_v2" and first["hash_algorithm"]:
            algorithm = first["hash_algorithm"]["algorithm"].native
        try:
            return bool(first["cert_hash"].native == hashlib.new(algorithm, cert.dump()).digest())
        except ValueError:
            return False
    return None


class TokenCheck:
    """An RFC 3161 timestamp token: does it stamp the expected data, is it intact, when, by whom."""

    def __init__(self) -> None:
        self.imprint_valid = False
        self.signature_valid = False
        self.time: Optional[datetime.datetime] = None
        self.authority: Optional[Any] = None      # the TSA certificate
        self.certificates: List[Any] = []     # those the token carries
        self.problem: Optional[str] = None
        self.sub_indication: Optional[str] = None  # what kind of fault ``problem`` is

    def fail(self, sub_indication: str, problem: str) -> None:
        self.sub_indication, self.problem = sub_indication, problem

    @property
    def valid(self) -> bool:
        return self.imprint_valid and self.signature_valid


def check_token(token: Any, digest_of: Callable[[str], bytes], what: str) -> TokenCheck:
    """Checks ``token`` (``cms.ContentInfo``); ``digest_of(algorithm)`` gives the digest it must stamp."""
    check = TokenCheck()
    try:
        certs = certificates_in(token)
        check.certificates = certs
        check.authority = signer_certificate(token)
        info = token["content"]["encap_content_info"]["content"].parsed
        if not isinstance(info, tsp.TSTInfo):
            raise ValueError("no TSTInfo inside")
        imprint = info["message_imprint"]
        algorithm = imprint["hash_algorithm"]["algorithm"].native
        stamped = imprint["hashed_message"].native
        check.time = info["gen_time"].native
    except (ValueError, TypeError, KeyError, AttributeError) as error:
        check.fail("FORMAT_FAILURE", "%s is not a readable timestamp token (%s)" % (what, error))
        return check
    try:
        expected = digest_of(algorithm)
    except ValueError:
        check.fail("FORMAT_FAILURE", "%s uses the unsupported digest %s" % (what, algorithm))
        return check
    check.imprint_valid = stamped == expected
    try:
        # The token's own integrity, checked over what it says it stamps; its
        # certificate's path is judged against the verifier's trust anchors.
        check_token_integrity(token, stamped, algorithm)
        check.signature_valid = True
    except TimestampError as error:
        check.fail("SIG_CRYPTO_FAILURE", "%s: %s" % (what, error))
    if not check.imprint_valid:
        check.fail("HASH_FAILURE", "%s stamps other data than it should" % what)
    return check


class SignatureCheck:
    """The container of one signature against the bytes of its byte range."""

    def __init__(self) -> None:
        self.signer: Optional[Any] = None
        self.certificates: List[Any] = []
        self.digest_algorithm: Optional[str] = None
        self.digest_valid = False
        self.signature_valid = False
        self.names_signer: Optional[bool] = None    # ESS signing-certificate attribute: True, False or None (absent)
        self.timestamp: Optional[TokenCheck] = None  # TokenCheck of the signature timestamp, or None
        self.findings: List[Tuple[str, str]] = []   # (sub-indication, message)

    def fail(self, sub_indication: str, message: str) -> None:
        self.findings.append((sub_indication, message))


class SignedBytes(Protocol):
    """The bytes a signature covers (revisions.CoveredBytes)."""

    def digest(self, algorithm: str) -> bytes: ...

    def read(self) -> bytes: ...


def check_signature(contents: bytes, signed_bytes: SignedBytes) -> SignatureCheck:
    """Checks the container in ``contents`` against ``signed_bytes``."""
    check = SignatureCheck()
    try:
        info = load_container(contents)
    except ContainerError as error:
        check.fail("FORMAT_FAILURE", str(error))
        return check
    signer_info = info["content"]["signer_infos"][0]
    check.certificates = certificates_in(info)
    check.signer = signer_certificate(info, signer_info)
    if check.signer is None:
        check.fail("FORMAT_FAILURE", "the container does not carry its signer's certificate")
        return check
    check.digest_algorithm = signer_info["digest_algorithm"]["algorithm"].native
    try:
        covered = signed_bytes.digest(check.digest_algorithm)
    except ValueError:
        check.fail("FORMAT_FAILURE", "the container uses the unsupported digest %s" % check.digest_algorithm)
        return check
    attributes = signer_info["signed_attrs"]
    if attributes:
        message_digest = _attribute(attributes, "message_digest")
        check.digest_valid = message_digest is not None and message_digest.native == covered
        if not check.digest_valid:
            check.fail("HASH_FAILURE", "the signed bytes do not match the container's message digest: "
                                  "the document was changed, or the container belongs to another document")
        content_type = _attribute(attributes, "content_type")
        if content_type is None or content_type.native != "data":
            check.fail("FORMAT_FAILURE", "the signed content type attribute is missing or not 'data'")
        check.names_signer = _names_certificate(attributes, check.signer)
        if check.names_signer is False:
            check.fail("SIG_CRYPTO_FAILURE",
                       "the signing-certificate attribute names another certificate than the signer's")
        signed = signed_attrs_der(signer_info)
    else:
        # Without signed attributes the signature covers the document bytes themselves.
        check.digest_valid = True
        signed = signed_bytes.read()
    try:
        check.signature_valid = verify_signature(
            check.signer.public_key, signed, signer_info["signature"].native,
            signer_info["signature_algorithm"], check.digest_algorithm)
    except UnsupportedSignatureAlgorithm as error:
        check.fail("FORMAT_FAILURE", "the signature cannot be checked: %s" % error)
    else:
        if not check.signature_valid:
            check.fail("SIG_CRYPTO_FAILURE", "the signature value does not verify with the signer's certificate")
    if check.names_signer is False:
        check.signature_valid = False
    tokens = signature_timestamp_tokens(info)
    if tokens:
        value = signer_info["signature"].native
        check.timestamp = check_token(tokens[0], lambda algorithm: hashlib.new(algorithm, value).digest(),
                                      "the signature timestamp")
        # TokenCheck.fail sets both.
        if check.timestamp.problem and check.timestamp.sub_indication:
            check.fail(check.timestamp.sub_indication, check.timestamp.problem)
    return check
