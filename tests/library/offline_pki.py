"""A small in-memory PKI for tests that need no server: certificates, OCSP responses, CRLs.

Everything is made with cryptography's builders and handed out as asn1crypto
objects, the types the library works with.
"""

import datetime

from asn1crypto import crl as asn1_crl
from asn1crypto import ocsp as asn1_ocsp
from asn1crypto import x509 as asn1_x509
from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec, padding, rsa
from cryptography.x509 import ocsp
from cryptography.x509.oid import AuthorityInformationAccessOID, ExtendedKeyUsageOID, NameOID

NOW = datetime.datetime.now(datetime.timezone.utc)
HOUR = datetime.timedelta(hours=1)
UNUSED_URL = "http://127.0.0.1:9"  # never contacted: offline tests do not fetch


def new_key(key_type):
    if key_type == "rsa":
        return rsa.generate_private_key(public_exponent=65537, key_size=2048)
    return ec.generate_private_key(ec.SECP256R1())


def sign_bytes(key, data):
    """A signature as a remote signing service makes it: PKCS#1 v1.5 or DER ECDSA, SHA-256."""
    if isinstance(key, rsa.RSAPrivateKey):
        return key.sign(data, padding.PKCS1v15(), hashes.SHA256())
    return key.sign(data, ec.ECDSA(hashes.SHA256()))


def to_asn1(cert):
    return asn1_x509.Certificate.load(cert.public_bytes(serialization.Encoding.DER))


class Issued:
    """A certificate with its key, in both libraries' types."""

    def __init__(self, cert, key):
        self.crypto = cert
        self.key = key
        self.asn1 = to_asn1(cert)

    def pem(self):
        return self.crypto.public_bytes(serialization.Encoding.PEM)


def issue(common_name, key, issuer=None, ca=False, eku=None, urls=True, serial=None):
    """A certificate for ``key``; self-signed when ``issuer`` is None."""
    name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, common_name)])
    issuer_name = name if issuer is None else issuer.crypto.subject
    signing_key = key if issuer is None else issuer.key
    builder = (x509.CertificateBuilder()
               .subject_name(name).issuer_name(issuer_name).public_key(key.public_key())
               .serial_number(serial or x509.random_serial_number())
               .not_valid_before(NOW - HOUR).not_valid_after(NOW + 24 * HOUR)
               .add_extension(x509.BasicConstraints(ca=ca, path_length=None), critical=True)
               .add_extension(x509.SubjectKeyIdentifier.from_public_key(key.public_key()), critical=False))
    if issuer is not None:
        builder = builder.add_extension(
            x509.AuthorityKeyIdentifier.from_issuer_public_key(issuer.key.public_key()), critical=False)
        if urls:
            slug = common_name.replace(" ", "-").lower()
            builder = builder.add_extension(x509.AuthorityInformationAccess([
                x509.AccessDescription(AuthorityInformationAccessOID.OCSP,
                                       x509.UniformResourceIdentifier(UNUSED_URL + "/ocsp/" + slug)),
                x509.AccessDescription(AuthorityInformationAccessOID.CA_ISSUERS,
                                       x509.UniformResourceIdentifier(UNUSED_URL + "/ca/" + slug)),
            ]), critical=False)
            builder = builder.add_extension(x509.CRLDistributionPoints([x509.DistributionPoint(
                [x509.UniformResourceIdentifier(UNUSED_URL + "/crl/" + slug)], None, None, None)]),
                critical=False)
    if eku:
        builder = builder.add_extension(x509.ExtendedKeyUsage(eku), critical=True)
    return Issued(builder.sign(signing_key, hashes.SHA256()), key)


class Pki:
    """root -> intermediate CA -> signer, all with keys of ``key_type``."""

    def __init__(self, key_type="rsa"):
        self.root = issue("Test Root", new_key(key_type), ca=True)
        self.ca = issue("Test Signer CA", new_key(key_type), issuer=self.root, ca=True)
        self.signer = issue("Test Signer", new_key(key_type), issuer=self.ca)

    def responder(self, issuer, eku=True):
        usages = [ExtendedKeyUsageOID.OCSP_SIGNING] if eku else [ExtendedKeyUsageOID.CODE_SIGNING]
        return issue("Delegated Responder", new_key("ec"), issuer=issuer, eku=usages, urls=False)


def ocsp_response(cert, issuer, status="good", signer=None, this_update=None, next_update=None,
                  forge_key=None):
    """An OCSP response for ``cert`` signed by ``signer`` (default the issuer).

    With ``forge_key`` the response still names its signer but is signed with that other key.
    """
    signer = signer or issuer
    this_update = this_update or NOW - HOUR
    next_update = next_update or NOW + HOUR
    builder = ocsp.OCSPResponseBuilder().add_response(
        cert=cert.crypto, issuer=issuer.crypto, algorithm=hashes.SHA1(),
        cert_status={"good": ocsp.OCSPCertStatus.GOOD, "revoked": ocsp.OCSPCertStatus.REVOKED,
                     "unknown": ocsp.OCSPCertStatus.UNKNOWN}[status],
        this_update=this_update, next_update=next_update,
        revocation_time=NOW - 2 * HOUR if status == "revoked" else None,
        revocation_reason=x509.ReasonFlags.key_compromise if status == "revoked" else None,
    ).responder_id(ocsp.OCSPResponderEncoding.HASH, signer.crypto)
    if signer is not issuer:
        builder = builder.certificates([signer.crypto])
    response = builder.sign(signer.key, hashes.SHA256())
    response = asn1_ocsp.OCSPResponse.load(response.public_bytes(serialization.Encoding.DER))
    if forge_key is None:
        return response
    basic = response.basic_ocsp_response
    forged = asn1_ocsp.BasicOCSPResponse({
        "tbs_response_data": basic["tbs_response_data"],
        "signature_algorithm": basic["signature_algorithm"],
        "signature": sign_bytes(forge_key, basic["tbs_response_data"].dump()),
    })
    return asn1_ocsp.OCSPResponse({"response_status": "successful", "response_bytes": {
        "response_type": "basic_ocsp_response", "response": forged}})


def crl(issuer, revoked=(), signing_key=None, this_update=None, next_update=None):
    """A CRL of ``issuer`` listing the certificates ``revoked``."""
    builder = (x509.CertificateRevocationListBuilder().issuer_name(issuer.crypto.subject)
               .last_update(this_update or NOW - HOUR).next_update(next_update or NOW + HOUR))
    for cert in revoked:
        builder = builder.add_revoked_certificate(
            x509.RevokedCertificateBuilder().serial_number(cert.crypto.serial_number)
            .revocation_date(NOW - 2 * HOUR).build())
    signed = builder.sign(signing_key or issuer.key, hashes.SHA256())
    return asn1_crl.CertificateList.load(signed.public_bytes(serialization.Encoding.DER))
