"""CRLs of the sandbox CAs, built on request from the current revocations."""

from __future__ import annotations

import datetime
import time
from typing import Any

from asn1crypto import crl, x509 as asn1_x509

from . import keys
from .pki import Authority, utc_now
from .revocation import Revocations

__all__ = ["build_crl"]

_VALIDITY = datetime.timedelta(days=1)


def _time(value: datetime.datetime) -> Any:
    return asn1_x509.Time(name="utc_time", value=value)


def build_crl(authority: Authority, revocations: Revocations) -> bytes:
    """DER CRL signed by ``authority``, listing its revoked certificates."""
    now = utc_now().replace(microsecond=0)
    ca = authority.asn1
    entries: list[dict[str, Any]] = []
    for serial, when, reason in revocations.among(authority.issued):
        entry: dict[str, Any] = {"user_certificate": serial, "revocation_date": _time(when)}
        if reason is not None:
            entry["crl_entry_extensions"] = [{"extn_id": "crl_reason", "extn_value": reason}]
        entries.append(entry)
    tbs: dict[str, Any] = {
        "version": "v2",
        "signature": keys.signed_digest_algorithm(authority.key),
        "issuer": ca.subject,
        "this_update": _time(now),
        "next_update": _time(now + _VALIDITY),
        "crl_extensions": [
            # Milliseconds since the epoch: increases with every CRL this CA issues.
            {"extn_id": "crl_number", "extn_value": int(time.time() * 1000)},
            {"extn_id": "authority_key_identifier",
             "extn_value": {"key_identifier": ca.key_identifier}},
        ],
    }
    if entries:
        tbs["revoked_certificates"] = entries
    tbs_cert_list = crl.TbsCertList(tbs)
    der: bytes = crl.CertificateList({
        "tbs_cert_list": tbs_cert_list,
        "signature_algorithm": keys.signed_digest_algorithm(authority.key),
        "signature": keys.sign(authority.key, tbs_cert_list.dump()),
    }).dump()
    return der
