"""The sandbox's test PKI.

::

    Corvane Sandbox Root CA (RSA, self-signed)
     +- Signer CA (RSA)                     per user: an RSA-2048 and an EC P-256
     |   +- user signer certificates        signer certificate; OCSP by a delegated
     |   +- Signer CA OCSP Responder (EC)   responder (id-kp-OCSPSigning, ocsp-nocheck)
     +- Timestamp CA (EC)
         +- Timestamp Authority (RSA, critical EKU timeStamping)
         +- Timestamp CA OCSP Responder (EC)

The root answers OCSP for the two issuing CAs itself (CA-signed responses),
so a client meets both ways of authorising a responder.

Every certificate but the root carries an AIA caIssuers URL, an OCSP URL and a
CRL distribution point on the sandbox, so the URLs hold the sandbox's port.
With a state directory, keys and certificates are kept there and reused; when
the sandbox comes up on another base URL (another port), a user's details
change, or a certificate is missing or close to expiry, every certificate
below the root is reissued for the new URL with the same keys.  The root
certificate stays as long as its key does, so a trust store made from
``root.pem`` keeps working across restarts.
"""

from __future__ import annotations

import datetime
import hashlib
import json
import os
import re
from typing import TYPE_CHECKING, Any, Dict, Iterable, Optional, Sequence, Tuple, Union

from asn1crypto import x509 as asn1_x509
from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric.types import CertificatePublicKeyTypes
from cryptography.x509.oid import AuthorityInformationAccessOID, ExtendedKeyUsageOID, NameOID

from . import keys
from .config import User
from .keys import PrivateKey
from .paths import aia_path, crl_path, ocsp_path

if TYPE_CHECKING:
    from typing_extensions import TypeGuard

__all__ = ["ROOT", "SIGNER_CA", "TSA_CA", "PKI_KEY_KINDS", "Authority", "SandboxPKI",
           "build_pki", "to_asn1", "utc_now"]

ROOT = "root"
SIGNER_CA = "signer-ca"
TSA_CA = "tsa-ca"

# The service's "pki" values and the key kind each selects.
PKI_KEY_KINDS = {"rsa": keys.RSA, "ecdsa": keys.EC}

_ORGANIZATION = "Corvane Sandbox"
# Certificates start a little in the past so that clocks a bit behind still accept them.
_BACKDATE = datetime.timedelta(hours=1)
_ROOT_DAYS = 3650
_CA_DAYS = 1825
_LEAF_DAYS = 730
_RENEW_BEFORE = datetime.timedelta(days=7)

# An extension to add to a certificate, and whether it is critical.
Extension = Tuple[x509.ExtensionType, bool]
# What build_pki issues under each file name: the key kind, and the user and
# "pki" value for a signer certificate (None for the sandbox's own certificates).
_Plan = Dict[str, Tuple[str, Optional[Tuple[User, str]]]]
StateDir = Union[str, "os.PathLike[str]", None]

_KEY_KINDS = {
    ROOT: keys.RSA,
    SIGNER_CA: keys.RSA,
    TSA_CA: keys.EC,
    "tsa": keys.RSA,
    "signer-ca-ocsp": keys.EC,
    "tsa-ca-ocsp": keys.EC,
}


def utc_now() -> datetime.datetime:
    return datetime.datetime.now(datetime.timezone.utc)


def to_asn1(certificate: x509.Certificate) -> Any:
    return asn1_x509.Certificate.load(certificate.public_bytes(serialization.Encoding.DER))


def _not_after(certificate: x509.Certificate) -> datetime.datetime:
    value: datetime.datetime | None = getattr(certificate, "not_valid_after_utc", None)
    if value is None:  # cryptography < 42
        value = certificate.not_valid_after.replace(tzinfo=datetime.timezone.utc)
    return value


def _spki(public_key: CertificatePublicKeyTypes) -> bytes:
    return public_key.public_bytes(serialization.Encoding.DER,
                                   serialization.PublicFormat.SubjectPublicKeyInfo)


def _name(common_name: str, organization: str = _ORGANIZATION, unit: str | None = None,
          email: str | None = None) -> x509.Name:
    attributes = [x509.NameAttribute(NameOID.COMMON_NAME, common_name),
                  x509.NameAttribute(NameOID.ORGANIZATION_NAME, organization)]
    if unit:
        attributes.append(x509.NameAttribute(NameOID.ORGANIZATIONAL_UNIT_NAME, unit))
    if email:
        attributes.append(x509.NameAttribute(NameOID.EMAIL_ADDRESS, email))
    return x509.Name(attributes)


class Authority:
    """A CA of the sandbox: its certificate, key, OCSP signer and what it issued."""

    def __init__(self, name: str, certificate: x509.Certificate, key: PrivateKey) -> None:
        self.name = name
        self.certificate = certificate
        self.key = key
        self.asn1 = to_asn1(certificate)
        # Set together, by build_pki, for a CA with a delegated responder.
        self.responder_certificate: x509.Certificate | None = None
        self.responder_key: PrivateKey | None = None
        self.issued: dict[int, x509.Certificate] = {}  # serial number -> certificate

    @property
    def ocsp_signer(self) -> tuple[x509.Certificate, PrivateKey]:
        """(certificate, key) that signs this CA's OCSP responses."""
        if self.responder_certificate is not None and self.responder_key is not None:
            return self.responder_certificate, self.responder_key
        return self.certificate, self.key

    def __repr__(self) -> str:
        return "Authority(%r)" % self.name


class SandboxPKI:
    """Certificates of the sandbox (asn1crypto objects) and, inside, their keys.

    Public attributes: ``root``, ``signer_ca``, ``tsa_ca``, ``tsa``,
    ``signer_ca_ocsp`` and ``tsa_ca_ocsp`` (the delegated OCSP responders), and
    ``signer_certificate(user_id, pki)``.
    """

    def __init__(self, authorities: dict[str, Authority], tsa_certificate: x509.Certificate,
                 tsa_key: PrivateKey,
                 signers: dict[tuple[str, str], tuple[x509.Certificate, PrivateKey]],
                 base_url: str) -> None:
        self.authorities = authorities
        self.tsa_certificate = tsa_certificate
        self.tsa_key = tsa_key
        self._signers = signers  # (user_id, pki) -> (certificate, key)
        self._asn1_signers = {ident: to_asn1(cert) for ident, (cert, _) in signers.items()}
        self.base_url = base_url
        self.root = authorities[ROOT].asn1
        self.signer_ca = authorities[SIGNER_CA].asn1
        self.tsa_ca = authorities[TSA_CA].asn1
        self.tsa = to_asn1(tsa_certificate)
        signer_ca_responder = authorities[SIGNER_CA].responder_certificate
        tsa_ca_responder = authorities[TSA_CA].responder_certificate
        assert signer_ca_responder is not None and tsa_ca_responder is not None
        self.signer_ca_ocsp = to_asn1(signer_ca_responder)
        self.tsa_ca_ocsp = to_asn1(tsa_ca_responder)

    def authority(self, name: str) -> Authority | None:
        return self.authorities.get(name)

    def signer_certificate(self, user_id: str, pki: str = "rsa") -> Any:
        """The asn1crypto certificate of ``user_id`` for ``pki`` "rsa" or "ecdsa"."""
        try:
            return self._asn1_signers[(user_id, pki)]
        except KeyError:
            raise KeyError("no %r signer certificate for user %r" % (pki, user_id)) from None

    def signing_identity(self, user_id: str, pki: str
                         ) -> tuple[x509.Certificate, PrivateKey] | None:
        """(cryptography certificate, private key) of a user, or None."""
        return self._signers.get((user_id, pki))

    def issuer_of_serial(self, serial: int) -> Authority | None:
        """The authority that issued the certificate with this serial, or None."""
        for authority in self.authorities.values():
            if serial in authority.issued:
                return authority
        return None

    def ca_certificates(self) -> list[x509.Certificate]:
        return [self.authorities[name].certificate for name in (ROOT, SIGNER_CA, TSA_CA)]

    def ca_bundle_pem(self) -> bytes:
        return b"".join(cert.public_bytes(serialization.Encoding.PEM)
                        for cert in self.ca_certificates())

    def root_pem(self) -> bytes:
        return self.authorities[ROOT].certificate.public_bytes(serialization.Encoding.PEM)


class _Store:
    """Keys and certificates in a state directory; a no-op without one."""

    def __init__(self, directory: StateDir) -> None:
        self.directory = directory
        if directory is not None:
            for sub in ("keys", "certs"):
                os.makedirs(os.path.join(directory, sub), exist_ok=True)

    def _path(self, sub: str, name: str, suffix: str) -> str:
        assert self.directory is not None
        return os.path.join(self.directory, sub, name + suffix)

    def _read(self, path: str) -> bytes | None:
        try:
            with open(path, "rb") as handle:
                return handle.read()
        except FileNotFoundError:
            return None

    def _write(self, path: str, data: bytes, mode: int = 0o644) -> None:
        temporary = path + ".tmp"
        fd = os.open(temporary, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, mode)
        with os.fdopen(fd, "wb") as handle:
            handle.write(data)
        os.replace(temporary, path)

    def load_key(self, name: str) -> PrivateKey | None:
        if self.directory is None:
            return None
        data = self._read(self._path("keys", name, ".key.pem"))
        return keys.key_from_pem(data) if data else None

    def save_key(self, name: str, key: PrivateKey) -> None:
        if self.directory is not None:
            self._write(self._path("keys", name, ".key.pem"), keys.key_to_pem(key), 0o600)

    def load_certificate(self, name: str) -> x509.Certificate | None:
        if self.directory is None:
            return None
        data = self._read(self._path("certs", name, ".pem"))
        return x509.load_pem_x509_certificate(data) if data else None

    def save_certificate(self, name: str, certificate: x509.Certificate) -> None:
        if self.directory is not None:
            self._write(self._path("certs", name, ".pem"),
                        certificate.public_bytes(serialization.Encoding.PEM))

    def load_meta(self) -> Any:
        if self.directory is None:
            return {}
        data = self._read(os.path.join(self.directory, "pki.json"))
        try:
            return json.loads(data.decode("utf-8")) if data else {}
        except ValueError:
            return {}

    def save_meta(self, meta: dict[str, str]) -> None:
        if self.directory is not None:
            self._write(os.path.join(self.directory, "pki.json"),
                        json.dumps(meta, indent=2).encode("utf-8"))


def _user_file_name(user_id: str, pki: str) -> str:
    # User ids are free text; keep file names safe and distinct.
    safe = re.sub(r"[^A-Za-z0-9_.-]", "_", user_id)[:40]
    tag = hashlib.sha256(user_id.encode("utf-8")).hexdigest()[:8]
    return "user-%s-%s-%s" % (safe, tag, pki)


def _users_fingerprint(users: Iterable[User]) -> str:
    """Changes when a user's certificate subject would change."""
    subjects = [[user.user_id, user.user_full_name, user.user_company_name, user.division,
                 user.user_email] for user in users]
    return hashlib.sha256(json.dumps(subjects).encode("utf-8")).hexdigest()


def _usable(certificate: x509.Certificate | None, key: PrivateKey,
            now: datetime.datetime) -> TypeGuard[x509.Certificate]:
    return (certificate is not None
            and _spki(certificate.public_key()) == _spki(key.public_key())
            and _not_after(certificate) - now > _RENEW_BEFORE)


class _Issuer:
    """Issues certificates whose URLs point at one base URL."""

    def __init__(self, base_url: str, now: datetime.datetime) -> None:
        self.base_url = base_url
        self.now = now

    def issue(self, subject: x509.Name, key: PrivateKey, issuer: Authority | None, days: int,
              extensions: Iterable[Extension]) -> x509.Certificate:
        """A certificate for ``key``'s public half; ``issuer`` None means self-signed."""
        public_key = key.public_key()
        builder = (x509.CertificateBuilder()
                   .subject_name(subject)
                   .issuer_name(issuer.certificate.subject if issuer else subject)
                   .public_key(public_key)
                   .serial_number(x509.random_serial_number())
                   .not_valid_before(self.now - _BACKDATE)
                   .not_valid_after(self.now + datetime.timedelta(days=days))
                   .add_extension(x509.SubjectKeyIdentifier.from_public_key(public_key), False))
        if issuer is not None:
            issuer_ski = issuer.certificate.extensions.get_extension_for_class(
                x509.SubjectKeyIdentifier).value
            builder = builder.add_extension(
                x509.AuthorityKeyIdentifier.from_issuer_subject_key_identifier(issuer_ski), False)
            builder = builder.add_extension(x509.AuthorityInformationAccess([
                x509.AccessDescription(AuthorityInformationAccessOID.CA_ISSUERS,
                                       x509.UniformResourceIdentifier(
                                           self.base_url + aia_path(issuer.name))),
                x509.AccessDescription(AuthorityInformationAccessOID.OCSP,
                                       x509.UniformResourceIdentifier(
                                           self.base_url + ocsp_path(issuer.name))),
            ]), False)
            builder = builder.add_extension(x509.CRLDistributionPoints([
                x509.DistributionPoint(
                    full_name=[x509.UniformResourceIdentifier(self.base_url + crl_path(issuer.name))],
                    relative_name=None, reasons=None, crl_issuer=None),
            ]), False)
        for extension, critical in extensions:
            builder = builder.add_extension(extension, critical)
        return builder.sign((issuer.key if issuer else key), hashes.SHA256())


def _key_usage(**enabled: bool) -> x509.KeyUsage:
    flags = dict(digital_signature=False, content_commitment=False, key_encipherment=False,
                 data_encipherment=False, key_agreement=False, key_cert_sign=False,
                 crl_sign=False, encipher_only=False, decipher_only=False)
    flags.update(enabled)
    return x509.KeyUsage(**flags)


def _ca_extensions(path_length: int | None) -> list[Extension]:
    return [(x509.BasicConstraints(ca=True, path_length=path_length), True),
            (_key_usage(digital_signature=True, key_cert_sign=True, crl_sign=True), True)]


_LEAF_CONSTRAINTS: Extension = (x509.BasicConstraints(ca=False, path_length=None), True)


def _responder_extensions() -> list[Extension]:
    return [_LEAF_CONSTRAINTS,
            (_key_usage(digital_signature=True), True),
            (x509.ExtendedKeyUsage([ExtendedKeyUsageOID.OCSP_SIGNING]), False),
            (x509.OCSPNoCheck(), False)]


def _tsa_extensions() -> list[Extension]:
    return [_LEAF_CONSTRAINTS,
            (_key_usage(digital_signature=True, content_commitment=True), True),
            (x509.ExtendedKeyUsage([ExtendedKeyUsageOID.TIME_STAMPING]), True)]


def _signer_extensions(user: User) -> list[Extension]:
    return [_LEAF_CONSTRAINTS,
            (_key_usage(digital_signature=True, content_commitment=True), True),
            (x509.SubjectAlternativeName([x509.RFC822Name(user.user_email)]), False)]


def build_pki(base_url: str, users: Sequence[User], state_dir: StateDir = None) -> SandboxPKI:
    """Load or create the PKI for ``users`` with URLs under ``base_url``."""
    store = _Store(state_dir)
    now = utc_now()
    meta = store.load_meta()

    plan: _Plan = {name: (kind, None) for name, kind in _KEY_KINDS.items()}
    for user in users:
        for pki, kind in PKI_KEY_KINDS.items():
            plan[_user_file_name(user.user_id, pki)] = (kind, (user, pki))

    key_of: dict[str, PrivateKey] = {}
    for name, (kind, _) in plan.items():
        key = store.load_key(name)
        if key is None or keys.key_kind(key) != kind:
            key = keys.new_key(kind)
            store.save_key(name, key)
        key_of[name] = key

    issuer = _Issuer(base_url, now)
    root_certificate = store.load_certificate(ROOT)
    if not _usable(root_certificate, key_of[ROOT], now):
        root_certificate = issuer.issue(_name("Corvane Sandbox Root CA"), key_of[ROOT], None,
                                        _ROOT_DAYS, _ca_extensions(None))
        store.save_certificate(ROOT, root_certificate)
    root = Authority(ROOT, root_certificate, key_of[ROOT])

    issued_for = {"base_url": base_url, "root_serial": str(root_certificate.serial_number),
                  "users": _users_fingerprint(users)}
    stored = {name: store.load_certificate(name) for name in plan if name != ROOT}
    usable = {name: certificate for name, certificate in stored.items()
              if _usable(certificate, key_of[name], now)}
    reuse = meta == issued_for and len(usable) == len(stored)
    certificates = usable if reuse else _issue_below_root(issuer, root, key_of, plan)
    if not reuse:
        for name, certificate in certificates.items():
            store.save_certificate(name, certificate)
        store.save_meta(issued_for)

    authorities: dict[str, Authority] = {ROOT: root}
    for name in (SIGNER_CA, TSA_CA):
        authorities[name] = Authority(name, certificates[name], key_of[name])
        root.issued[certificates[name].serial_number] = certificates[name]
    for name in (SIGNER_CA, TSA_CA):
        authority = authorities[name]
        authority.responder_certificate = certificates[name + "-ocsp"]
        authority.responder_key = key_of[name + "-ocsp"]
        authority.issued[authority.responder_certificate.serial_number] = \
            authority.responder_certificate
    authorities[TSA_CA].issued[certificates["tsa"].serial_number] = certificates["tsa"]

    signers: dict[tuple[str, str], tuple[x509.Certificate, PrivateKey]] = {}
    for name, (_, owner) in plan.items():
        if owner is not None:
            user, pki = owner
            signers[(user.user_id, pki)] = (certificates[name], key_of[name])
            authorities[SIGNER_CA].issued[certificates[name].serial_number] = certificates[name]
    return SandboxPKI(authorities, certificates["tsa"], key_of["tsa"], signers, base_url)


def _issue_below_root(issuer: _Issuer, root: Authority, key_of: dict[str, PrivateKey],
                      plan: _Plan) -> dict[str, x509.Certificate]:
    certificates: dict[str, x509.Certificate] = {}
    cas: dict[str, Authority] = {}
    for name, title in ((SIGNER_CA, "Corvane Sandbox Signer CA"),
                        (TSA_CA, "Corvane Sandbox Timestamp CA")):
        certificates[name] = issuer.issue(_name(title), key_of[name], root, _CA_DAYS,
                                          _ca_extensions(0))
        cas[name] = Authority(name, certificates[name], key_of[name])
    for name, title in ((SIGNER_CA, "Corvane Sandbox Signer CA OCSP Responder"),
                        (TSA_CA, "Corvane Sandbox Timestamp CA OCSP Responder")):
        certificates[name + "-ocsp"] = issuer.issue(
            _name(title), key_of[name + "-ocsp"], cas[name], _LEAF_DAYS, _responder_extensions())
    certificates["tsa"] = issuer.issue(_name("Corvane Sandbox Timestamp Authority"),
                                       key_of["tsa"], cas[TSA_CA], _LEAF_DAYS, _tsa_extensions())
    for name, (_, owner) in plan.items():
        if owner is not None:
            user, _pki = owner
            subject = _name(user.user_full_name, organization=user.user_company_name,
                            unit=user.division, email=user.user_email)
            certificates[name] = issuer.issue(subject, key_of[name], cas[SIGNER_CA], _LEAF_DAYS,
                                              _signer_extensions(user))
    return certificates
