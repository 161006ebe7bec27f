"""RFC 3161 timestamp authority.

Accepts DER TimeStampReq with a SHA-256 message imprint and answers a
DER TimeStampResp: a granted token (SignedData over TSTInfo, signed by the
sandbox TSA key with an ESSCertIDv2 signing-certificate attribute) or a
rejection (status 2) whose failInfo says why.
"""

from __future__ import annotations

import hashlib
import secrets
import threading
from typing import Any, Optional

from asn1crypto import algos, cms, core, tsp, x509 as asn1_x509
from cryptography import x509

from . import keys
from .faults import TsaFault
from .keys import PrivateKey
from .pki import to_asn1, utc_now

__all__ = ["POLICY_OID", "TimestampAuthority", "TimestampRejected"]

# A policy OID under the ITU-T/ISO "example" arc: a test TSA owns no real one.
POLICY_OID = "2.999.3161.1"
_SHA256_SIZE = 32


class _TimeStampResp(core.Sequence):  # type: ignore[misc]  # asn1crypto has no types
    # asn1crypto declares the token mandatory; a rejection carries none.
    _fields = [
        ("status", tsp.PKIStatusInfo),
        ("time_stamp_token", cms.ContentInfo, {"optional": True}),
    ]


class TimestampRejected(Exception):
    """A request the TSA refuses; ``fail_info`` is an asn1crypto PKIFailureInfo name."""

    def __init__(self, fail_info: str, text: str) -> None:
        super().__init__(text)
        self.fail_info = fail_info
        self.text = text


def rejection(fail_info: str, text: str) -> bytes:
    der: bytes = _TimeStampResp({
        "status": {"status": "rejection", "status_string": [text], "fail_info": {fail_info}},
    }).dump()
    return der


def _parse(request_der: bytes) -> tuple[Any, Optional[int], bool]:
    """The checked TimeStampReq fields: (imprint, nonce or None, cert_req)."""
    try:
        request = tsp.TimeStampReq.load(request_der, strict=True)
        version = request["version"].native
        imprint = request["message_imprint"]
        algorithm = imprint["hash_algorithm"]["algorithm"].native
        hashed = imprint["hashed_message"].native
        policy = request["req_policy"].native
        nonce = request["nonce"].native
        cert_req = bool(request["cert_req"].native)
        extensions = request["extensions"].native
    except (ValueError, TypeError, KeyError):
        raise TimestampRejected("bad_data_format", "request is not a DER TimeStampReq") from None
    if version != "v1":
        raise TimestampRejected("bad_request", "unsupported TimeStampReq version %s" % version)
    if algorithm != "sha256":
        raise TimestampRejected("bad_alg", "only SHA-256 message imprints are accepted, not %s"
                                % algorithm)
    if len(hashed) != _SHA256_SIZE:
        raise TimestampRejected("bad_data_format", "SHA-256 message imprint must be %d bytes, not %d"
                                % (_SHA256_SIZE, len(hashed)))
    if policy is not None and policy != POLICY_OID:
        raise TimestampRejected("unaccepted_policy", "policy %s is not offered; use %s"
                                % (policy, POLICY_OID))
    if extensions:
        raise TimestampRejected("unaccepted_extensions", "request extensions are not supported")
    return imprint, nonce, cert_req


class TimestampAuthority:
    """Answers TimeStampReq bytes with TimeStampResp bytes."""

    def __init__(self, certificate: x509.Certificate, key: PrivateKey) -> None:
        self._certificate = to_asn1(certificate)
        self._key = key
        # The parts of a token that depend on the certificate alone, encoded once:
        # encoding its names afresh for every token costs far more than the signature.
        cert = self._certificate
        self._tsa_name_der = asn1_x509.GeneralName(name="directory_name", value=cert.subject).dump()
        self._sid_der = cms.SignerIdentifier(name="issuer_and_serial_number", value={
            "issuer": cert.issuer, "serial_number": cert.serial_number}).dump()
        self._ess_attribute_der = cms.CMSAttribute({"type": "signing_certificate_v2", "values": [{
            "certs": [{
                "cert_hash": hashlib.sha256(cert.dump()).digest(),
                "issuer_serial": {
                    "issuer": [asn1_x509.GeneralName(name="directory_name", value=cert.issuer)],
                    "serial_number": cert.serial_number,
                },
            }],
        }]}).dump()
        self._lock = threading.Lock()
        # Random start so that serials stay unique across runs of a kept state directory.
        self._next_serial = secrets.randbits(62) << 16

    def _serial(self) -> int:
        with self._lock:
            self._next_serial += 1
            return self._next_serial

    def respond(self, request_der: bytes, fault: Optional[TsaFault] = None) -> bytes:
        """DER TimeStampResp for ``request_der``; ``fault`` is a TSA fault-switch tuple."""
        if fault is not None and fault[0] == "reject":
            return rejection(fault[1], fault[2])
        try:
            imprint, nonce, cert_req = _parse(request_der)
        except TimestampRejected as refused:
            return rejection(refused.fail_info, refused.text)
        if fault is not None and fault[0] == "wrong_nonce":
            nonce = nonce + 1 if nonce is not None else secrets.randbits(63)
        if fault is not None and fault[0] == "wrong_imprint":
            hashed = bytearray(imprint["hashed_message"].native)
            hashed[-1] ^= 0x01
            imprint = tsp.MessageImprint({"hash_algorithm": {"algorithm": "sha256"},
                                          "hashed_message": bytes(hashed)})
        token = self._token(imprint, nonce, cert_req)
        der: bytes = _TimeStampResp({"status": {"status": "granted"},
                                     "time_stamp_token": token}).dump()
        return der

    def _token(self, imprint: Any, nonce: Optional[int], cert_req: bool) -> Any:
        now = utc_now().replace(microsecond=0)
        info: dict[str, Any] = {
            "version": "v1",
            "policy": POLICY_OID,
            "message_imprint": imprint,
            "serial_number": self._serial(),
            "gen_time": now,
            "accuracy": {"seconds": 1},
            "tsa": asn1_x509.GeneralName.load(self._tsa_name_der),
        }
        if nonce is not None:
            info["nonce"] = nonce
        tst_info = tsp.TSTInfo(info)
        tst_der = tst_info.dump()

        signed_attrs = cms.CMSAttributes([
            cms.CMSAttribute({"type": "content_type", "values": ["tst_info"]}),
            cms.CMSAttribute({"type": "signing_time", "values": [cms.Time({"utc_time": now})]}),
            cms.CMSAttribute({"type": "message_digest",
                              "values": [hashlib.sha256(tst_der).digest()]}),
            cms.CMSAttribute.load(self._ess_attribute_der),
        ])
        signature = keys.sign(self._key, signed_attrs.dump())
        signer_info = cms.SignerInfo({
            "version": "v1",
            "sid": cms.SignerIdentifier.load(self._sid_der),
            "digest_algorithm": algos.DigestAlgorithm({"algorithm": "sha256"}),
            "signed_attrs": signed_attrs,
            "signature_algorithm": keys.signed_digest_algorithm(self._key, cms=True),
            "signature": signature,
        })
        signed_data: dict[str, Any] = {
            "version": "v3",
            "digest_algorithms": [algos.DigestAlgorithm({"algorithm": "sha256"})],
            "encap_content_info": {"content_type": "tst_info",
                                   "content": cms.ParsableOctetString(tst_der)},
            "signer_infos": [signer_info],
        }
        if cert_req:
            signed_data["certificates"] = [self._certificate]
        return cms.ContentInfo({"content_type": "signed_data",
                                "content": cms.SignedData(signed_data)})
