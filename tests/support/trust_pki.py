"""Certificates of any profile, and documents signed (B-T) with them, to see
what a verifier makes of certificates used against their constraints.

One RSA key serves every certificate: what is under test is the profile of
each certificate, not key handling, and key generation is slow."""

import asyncio
import datetime
import functools
import hashlib
import io
import types

from asn1crypto import cms
from cryptography import x509
from cryptography.hazmat.primitives import hashes
from cryptography.hazmat.primitives.asymmetric import rsa
from cryptography.x509.oid import ExtendedKeyUsageOID, NameOID

from CorvaneSDK.CorvaneSign.corvane_signature.pdf_utils.incremental_writer import IncrementalPdfFileWriter
from CorvaneSDK.CorvaneSign.corvane_signature.sign import fields, signers
from CorvaneSDK.CorvaneSign.corvane_signature.sign.attributes import pades_signed_attributes
from CorvaneSDK.CorvaneSign.corvane_signature.sign.signers.pdf_signer import PdfTBSDocument
from support.library_pki import FakeTimestamper, Identity, _signed_data
from support.sample_pdfs import document

NOW = datetime.datetime.now(datetime.timezone.utc)
DAY = datetime.timedelta(days=1)

SIGNING = {"digital_signature", "content_commitment"}
CA_USAGE = {"key_cert_sign", "crl_sign"}
TIMESTAMPING = [ExtendedKeyUsageOID.TIME_STAMPING]
OCSP_SIGNING = [ExtendedKeyUsageOID.OCSP_SIGNING]


@functools.lru_cache(maxsize=None)
def _key():
    return rsa.generate_private_key(public_exponent=65537, key_size=2048)


def _key_usage(enabled):
    names = ("digital_signature", "content_commitment", "key_encipherment", "data_encipherment",
             "key_agreement", "key_cert_sign", "crl_sign", "encipher_only", "decipher_only")
    return x509.KeyUsage(**{name: name in enabled for name in names})


def certificate(common_name, issuer=None, ca=False, path_length=None, usage=None, eku=None,
                not_before=NOW - DAY, not_after=NOW + 30 * DAY):
    """An Identity; self-signed when ``issuer`` is None. ``usage`` is a set of KeyUsage flags."""
    key = _key()
    name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, common_name)])
    builder = (x509.CertificateBuilder().subject_name(name)
               .issuer_name(issuer.certificate.subject if issuer else name)
               .public_key(key.public_key()).serial_number(x509.random_serial_number())
               .not_valid_before(not_before).not_valid_after(not_after)
               .add_extension(x509.BasicConstraints(ca=ca, path_length=path_length), critical=True))
    if usage is not None:
        builder = builder.add_extension(_key_usage(usage), critical=True)
    if eku is not None:
        builder = builder.add_extension(x509.ExtendedKeyUsage(eku), critical=True)
    return Identity(key, builder.sign(key, hashes.SHA256()))


def root(common_name="Trust Test Root"):
    return certificate(common_name, ca=True, usage=CA_USAGE)


class _Signer:
    """The external signer's contract, with any identity and the certificates the container carries."""

    def __init__(self, identity, carried):
        self.identity = identity
        self.carried = [identity.asn1] + [cert.asn1 for cert in carried]

    async def signed_attrs(self, digest, md_algorithm, use_pades=True):
        return pades_signed_attributes(digest, self.identity.asn1)

    async def async_sign_prescribed_attributes(self, md_algorithm, signed_attrs=None, timestamper=None):
        signature = self.identity.sign(signed_attrs.dump())
        unsigned = None
        if timestamper is not None:
            token = await timestamper.async_timestamp(hashlib.sha256(signature).digest(), "sha256")
            unsigned = cms.CMSAttributes([cms.CMSAttribute({"type": "signature_time_stamp_token",
                                                            "values": [token]})])
        return _signed_data(self.identity, "data", None, signed_attrs, self.carried, unsigned)


def signed_pdf(signer, carried=(), tsa=None, tsa_carried=(), data=None):
    """``data`` (a one-page document by default) signed by ``signer``; with ``tsa``, also
    timestamped (B-T) by it. ``carried`` and ``tsa_carried`` are the further certificates
    that the container and the timestamp token carry."""
    external = _Signer(signer, carried)
    timestamper = None
    if tsa is not None:
        timestamper = _CarryingTimestamper(types.SimpleNamespace(tsa=tsa), tsa_carried)
    source = data if data is not None else document()

    async def flow():
        meta = signers.PdfSignatureMetadata(field_name="Signature1", md_algorithm="sha256",
                                            subfilter=fields.SigSeedSubFilter.PADES)
        pdf_signer = signers.PdfSigner(meta, signer=external)
        prepared, tbs, output = await pdf_signer.async_digest_doc_for_signing(
            IncrementalPdfFileWriter(io.BytesIO(source)), bytes_reserved=30842)
        attrs = await external.signed_attrs(prepared.document_digest, "sha256")
        container = await external.async_sign_prescribed_attributes("sha256", attrs, timestamper)
        await PdfTBSDocument.async_finish_signing(output, prepared_digest=prepared, signature_cms=container,
                                                  post_sign_instr=tbs.post_sign_instructions)
        return bytes(output.getbuffer())
    return asyncio.run(flow())


class _CarryingTimestamper(FakeTimestamper):
    """Tokens that carry the TSA's chain as well as its certificate."""

    def __init__(self, pki, carried):
        super().__init__(pki)
        self.carried = [cert.asn1 for cert in carried]

    def timestamp(self, message_digest, md_algorithm="sha256"):
        token = super().timestamp(message_digest, md_algorithm)
        signed_data = token["content"]
        signed_data["certificates"] = list(signed_data["certificates"]) + [
            cms.CertificateChoices({"certificate": cert}) for cert in self.carried]
        return token


def container(signer, carried=()):
    """A CMS signature container of ``signer`` (over an arbitrary digest)."""
    attrs = pades_signed_attributes(bytes(32), signer.asn1)
    return asyncio.run(_Signer(signer, carried).async_sign_prescribed_attributes("sha256", attrs))


def token(tsa, digest, carried=()):
    """A timestamp token of ``tsa`` over ``digest``."""
    return _CarryingTimestamper(types.SimpleNamespace(tsa=tsa), carried).timestamp(digest)
