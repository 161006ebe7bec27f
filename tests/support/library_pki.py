"""A throw-away PKI and stand-ins for the signer and the timestamp server,
for library tests that must not depend on other components: the containers
and tokens they produce are real, so openssl and pdfsig can judge them."""

import datetime
import hashlib
import os

from asn1crypto import algos, cms, core, tsp, x509
from cryptography import x509 as cx509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import padding, rsa
from cryptography.x509.oid import ExtendedKeyUsageOID, NameOID

from CorvaneSDK.CorvaneSign.corvane_signature.sign.attributes import pades_signed_attributes


def _name(common_name):
    return cx509.Name([cx509.NameAttribute(NameOID.COMMON_NAME, common_name),
                       cx509.NameAttribute(NameOID.ORGANIZATION_NAME, "Library Test PKI")])


class Identity:
    def __init__(self, key, certificate):
        self.key = key
        self.certificate = certificate
        self.asn1 = x509.Certificate.load(certificate.public_bytes(serialization.Encoding.DER))

    def sign(self, data):
        return self.key.sign(data, padding.PKCS1v15(), hashes.SHA256())


def _issue(common_name, issuer=None, ca=False, usage=None):
    key = rsa.generate_private_key(public_exponent=65537, key_size=2048)
    now = datetime.datetime.now(datetime.timezone.utc)
    builder = (cx509.CertificateBuilder()
               .subject_name(_name(common_name))
               .issuer_name(issuer.certificate.subject if issuer else _name(common_name))
               .public_key(key.public_key())
               .serial_number(cx509.random_serial_number())
               .not_valid_before(now - datetime.timedelta(days=1))
               .not_valid_after(now + datetime.timedelta(days=30))
               .add_extension(cx509.BasicConstraints(ca=ca, path_length=None), critical=True)
               .add_extension(cx509.SubjectKeyIdentifier.from_public_key(key.public_key()), critical=False))
    if usage is not None:
        builder = builder.add_extension(cx509.ExtendedKeyUsage([usage]), critical=True)
    certificate = builder.sign(issuer.key if issuer else key, hashes.SHA256())
    return Identity(key, certificate)


class LibraryPki:
    """A root CA that issues a signing certificate and a timestamping certificate."""

    def __init__(self, folder):
        self.root = _issue("Library Test Root", ca=True)
        self.signer = _issue("Library Test Signer", self.root)
        self.tsa = _issue("Library Test TSA", self.root, usage=ExtendedKeyUsageOID.TIME_STAMPING)
        self.root_pem = os.path.join(folder, "root.pem")
        with open(self.root_pem, "wb") as stream:
            stream.write(self.root.certificate.public_bytes(serialization.Encoding.PEM))


def _signed_data(identity, content_type, content, signed_attrs, certificates, unsigned_attrs=None):
    signer_info = {
        "version": "v1",
        "sid": cms.SignerIdentifier({"issuer_and_serial_number": cms.IssuerAndSerialNumber({
            "issuer": identity.asn1.issuer, "serial_number": identity.asn1.serial_number})}),
        "digest_algorithm": algos.DigestAlgorithm({"algorithm": "sha256"}),
        "signed_attrs": signed_attrs,
        "signature_algorithm": algos.SignedDigestAlgorithm({"algorithm": "sha256_rsa"}),
        "signature": identity.sign(signed_attrs.dump()),
    }
    if unsigned_attrs:
        signer_info["unsigned_attrs"] = unsigned_attrs
    encapsulated = {"content_type": content_type}
    if content is not None:
        encapsulated["content"] = content
    return cms.ContentInfo({"content_type": "signed_data", "content": cms.SignedData({
        "version": "v3" if content_type != "data" else "v1",
        "digest_algorithms": [algos.DigestAlgorithm({"algorithm": "sha256"})],
        "encap_content_info": encapsulated,
        "certificates": [cms.CertificateChoices({"certificate": c}) for c in certificates],
        "signer_infos": [signer_info],
    })})


class FakeTimestamper:
    """An RFC 3161 server in-process: tokens signed by the test TSA."""

    url = "http://127.0.0.1/test-tsa"

    def __init__(self, pki, padding_bytes=0):
        self.pki = pki
        self.padding_bytes = padding_bytes
        self.requests = []

    def timestamp(self, message_digest, md_algorithm="sha256"):
        self.requests.append(message_digest)
        info = tsp.TSTInfo({
            "version": "v1",
            "policy": "1.3.6.1.4.1.99999.1",
            "message_imprint": {"hash_algorithm": {"algorithm": "sha256"}, "hashed_message": message_digest},
            "serial_number": int.from_bytes(os.urandom(8), "big"),
            "gen_time": datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0),
            "nonce": int.from_bytes(os.urandom(8), "big"),
        })
        if self.padding_bytes:
            # An oversized token, as a TSA embedding a long chain would send.
            info["extensions"] = [{"extn_id": "1.3.6.1.4.1.99999.2", "critical": False,
                                   "extn_value": core.OctetString(bytes(self.padding_bytes)).dump()}]
        encoded = info.dump()
        tsa = self.pki.tsa
        signed_attrs = cms.CMSAttributes([
            cms.CMSAttribute({"type": "content_type", "values": ["tst_info"]}),
            cms.CMSAttribute({"type": "message_digest", "values": [hashlib.sha256(encoded).digest()]}),
            cms.CMSAttribute({"type": "signing_certificate_v2", "values": [tsp.SigningCertificateV2({
                "certs": [{"cert_hash": hashlib.sha256(tsa.asn1.dump()).digest()}]})]}),
        ])
        return _signed_data(tsa, "tst_info", core.ParsableOctetString(encoded), signed_attrs, [tsa.asn1])

    async def async_timestamp(self, message_digest, md_algorithm="sha256"):
        return self.timestamp(message_digest, md_algorithm)


class FakeSigner:
    """The external signer's contract, signing with the test signer's key."""

    def __init__(self, pki, signing_cert=True):
        self.pki = pki
        self.signing_cert = pki.signer.asn1 if signing_cert else None
        self.timestamper = None

    def estimated_container_size(self):
        return 12000

    async def signed_attrs(self, digest, md_algorithm, use_pades=True):
        return pades_signed_attributes(digest, self.pki.signer.asn1)

    async def async_sign_prescribed_attributes(self, md_algorithm, signed_attrs=None, timestamper=None):
        signature = self.pki.signer.sign(signed_attrs.dump())
        unsigned = None
        if timestamper is not None:
            token = await timestamper.async_timestamp(hashlib.sha256(signature).digest(), "sha256")
            unsigned = cms.CMSAttributes([cms.CMSAttribute({
                "type": "signature_time_stamp_token", "values": [token]})])
            self.timestamper = timestamper
        container = _signed_data(self.pki.signer, "data", None, signed_attrs,
                                 [self.pki.signer.asn1, self.pki.root.asn1], unsigned)
        # The signer's own value, so that callers can check what was signed.
        self.signature_value = signature
        return container
