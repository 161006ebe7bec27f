"""CA certificates served at the AIA caIssuers URLs, and the AIA loop fault.

With the loop switched on, ``/aia/<ca>.cer`` of an issuing CA serves a
certificate with that CA's subject and key, but issued by "<CA> Loop", whose
certificate (``/aia/<ca>-loop.cer``) is in turn issued by the CA.  Both carry
caIssuers URLs pointing at each other, and the signatures check out, so a
path builder that follows AIA goes round and round and never reaches a
self-signed root.
"""

from __future__ import annotations

import datetime
import threading
from typing import Optional, cast

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric.types import CertificatePublicKeyTypes
from cryptography.x509.oid import AuthorityInformationAccessOID, NameOID

from . import keys
from .keys import PrivateKey
from .paths import aia_path
from .pki import ROOT, Authority, SandboxPKI, utc_now

__all__ = ["AIACertificates"]

_LOOP_SUFFIX = "-loop"
_LOOP_DAYS = 30


def _ca_certificate(subject: x509.Name, public_key: CertificatePublicKeyTypes,
                    issuer_name: x509.Name, signing_key: PrivateKey,
                    issuer_url: str) -> x509.Certificate:
    now = utc_now()
    return (x509.CertificateBuilder()
            .subject_name(subject).issuer_name(issuer_name).public_key(public_key)
            .serial_number(x509.random_serial_number())
            .not_valid_before(now - datetime.timedelta(hours=1))
            .not_valid_after(now + datetime.timedelta(days=_LOOP_DAYS))
            .add_extension(x509.BasicConstraints(ca=True, path_length=None), True)
            .add_extension(x509.SubjectKeyIdentifier.from_public_key(public_key), False)
            .add_extension(x509.AuthorityInformationAccess([
                x509.AccessDescription(AuthorityInformationAccessOID.CA_ISSUERS,
                                       x509.UniformResourceIdentifier(issuer_url))]), False)
            .sign(signing_key, hashes.SHA256()))


class AIACertificates:
    """DER certificates by AIA file name ("root.cer", "signer-ca.cer", ...)."""

    def __init__(self, pki: SandboxPKI) -> None:
        self._pki = pki
        self._lock = threading.Lock()
        self._loops: dict[str, dict[str, bytes]] = {}  # authority name -> {file name: DER}

    def certificate(self, file_name: str, loop: bool = False) -> Optional[bytes]:
        """DER bytes for ``file_name``, or None when nothing is served there."""
        if not file_name.endswith(".cer"):
            return None
        name = file_name[:-len(".cer")]
        if loop:
            base = name[:-len(_LOOP_SUFFIX)] if name.endswith(_LOOP_SUFFIX) else name
            authority = self._pki.authority(base)
            if authority is not None and base != ROOT:
                return self._loop(authority)[name]
            if name.endswith(_LOOP_SUFFIX):
                return None
        authority = self._pki.authority(name)
        if authority is None:
            return None
        return authority.certificate.public_bytes(serialization.Encoding.DER)

    def _loop(self, authority: Authority) -> dict[str, bytes]:
        with self._lock:
            if authority.name not in self._loops:
                self._loops[authority.name] = self._make_loop(authority)
            return self._loops[authority.name]

    def _make_loop(self, authority: Authority) -> dict[str, bytes]:
        base_url = self._pki.base_url
        loop_name = authority.name + _LOOP_SUFFIX
        loop_key = keys.new_key(keys.EC)
        # A common name is text (only a few attribute kinds hold bytes).
        common_name = cast(str, authority.certificate.subject.get_attributes_for_oid(
            NameOID.COMMON_NAME)[0].value)
        loop_subject = x509.Name([
            x509.NameAttribute(NameOID.COMMON_NAME, common_name + " Loop"),
            x509.NameAttribute(NameOID.ORGANIZATION_NAME, "Corvane Sandbox"),
        ])
        # The CA, as if issued by the loop CA ...
        ca_twin = _ca_certificate(authority.certificate.subject, authority.key.public_key(),
                                  loop_subject, loop_key, base_url + aia_path(loop_name))
        # ... and the loop CA, issued by the CA.
        loop_ca = _ca_certificate(loop_subject, loop_key.public_key(),
                                  authority.certificate.subject, authority.key,
                                  base_url + aia_path(authority.name))
        der = serialization.Encoding.DER
        return {authority.name: ca_twin.public_bytes(der), loop_name: loop_ca.public_bytes(der)}
