"""Certificate paths as the verifier judges them: a certificate used against
its constraints or outside its validity fails, whether it signs the document
or its timestamp; trust that cannot be proven stays undecided; and the
library itself will not gather validation data for, or accept a token from,
such a certificate."""

import pytest

from CorvaneSDK.CorvaneSign.corvane_certvalidator import ValidationContext
from CorvaneSDK.CorvaneSign.corvane_signature.exceptions import TimestampError, ValidationError
from CorvaneSDK.CorvaneSign.corvane_signature.sign.token_check import check_timestamp_token
from CorvaneSDK.verification import verify_pdf
from support import trust_pki as pki

ROOT = pki.root()
CA = pki.certificate("Issuing CA", ROOT, ca=True, usage=pki.CA_USAGE)
SIGNER = pki.certificate("Sound Signer", CA, usage=pki.SIGNING)
TSA = pki.certificate("Sound TSA", CA, usage={"digital_signature"}, eku=pki.TIMESTAMPING)
# An ordinary end-entity certificate that issued itself a "CA" below it.
LEAF = pki.certificate("Ordinary Leaf", CA, usage=pki.SIGNING)
FAKE_CA = pki.certificate("Fake CA", LEAF, ca=True, usage=pki.CA_USAGE)
LEVEL_CA = pki.certificate("Level CA", ROOT, ca=True, path_length=0, usage=pki.CA_USAGE)
SUB_CA = pki.certificate("Sub CA", LEVEL_CA, ca=True, usage=pki.CA_USAGE)
CRL_ONLY_CA = pki.certificate("CRL-Only CA", ROOT, ca=True, usage={"crl_sign"})


def _signed_by(signer, carried=(CA,), tsa=TSA, tsa_carried=(CA,)):
    return lambda: pki.signed_pdf(signer, carried, tsa, tsa_carried)


CASES = {
    "sound (control)": (_signed_by(SIGNER), "INDETERMINATE", "TRY_LATER"),
    "leaf acting as CA for the signer": (
        _signed_by(pki.certificate("Forged Signer", FAKE_CA, usage=pki.SIGNING), (FAKE_CA, LEAF, CA)),
        "TOTAL-FAILED", "CHAIN_CONSTRAINTS_FAILURE"),
    "leaf acting as CA for the TSA": (
        _signed_by(SIGNER, tsa=pki.certificate("Forged TSA", FAKE_CA, eku=pki.TIMESTAMPING),
                   tsa_carried=(FAKE_CA, LEAF, CA)),
        "TOTAL-FAILED", "CHAIN_CONSTRAINTS_FAILURE"),
    "path length exceeded": (
        _signed_by(pki.certificate("Deep Signer", SUB_CA, usage=pki.SIGNING), (SUB_CA, LEVEL_CA)),
        "TOTAL-FAILED", "CHAIN_CONSTRAINTS_FAILURE"),
    "issuer without keyCertSign": (
        _signed_by(pki.certificate("Signer Of A CRL-Only CA", CRL_ONLY_CA, usage=pki.SIGNING), (CRL_ONLY_CA,)),
        "TOTAL-FAILED", "CHAIN_CONSTRAINTS_FAILURE"),
    "expired signer": (
        _signed_by(pki.certificate("Expired Signer", CA, usage=pki.SIGNING,
                                   not_before=pki.NOW - 30 * pki.DAY, not_after=pki.NOW - pki.DAY)),
        "TOTAL-FAILED", "EXPIRED"),
    "not yet valid signer": (
        _signed_by(pki.certificate("Future Signer", CA, usage=pki.SIGNING, not_before=pki.NOW + pki.DAY)),
        "TOTAL-FAILED", "NOT_YET_VALID"),
    "keyEncipherment-only signer": (
        _signed_by(pki.certificate("Encryption Key", CA, usage={"key_encipherment"})),
        "TOTAL-FAILED", "CHAIN_CONSTRAINTS_FAILURE"),
    "TSA certificate signing a document": (
        _signed_by(TSA), "TOTAL-FAILED", "CHAIN_CONSTRAINTS_FAILURE"),
    "OCSP responder certificate signing a document": (
        _signed_by(pki.certificate("Responder", CA, usage={"digital_signature"}, eku=pki.OCSP_SIGNING)),
        "TOTAL-FAILED", "CHAIN_CONSTRAINTS_FAILURE"),
    "TSA without the timeStamping usage": (
        _signed_by(SIGNER, tsa=pki.certificate("Plain TSA", CA, usage={"digital_signature"})),
        "TOTAL-FAILED", "CHAIN_CONSTRAINTS_FAILURE"),
}


@pytest.mark.parametrize("case", sorted(CASES))
def test_certificate_misuse_fails_under_a_trusted_root(case):
    make, indication, sub_indication = CASES[case]
    report = verify_pdf(make(), [ROOT.asn1])
    entry, = report["signatures"]
    assert (entry["indication"], entry["sub_indication"]) == (indication, sub_indication), entry["problems"]
    assert report["indication"] == indication
    assert entry["digest_valid"] and entry["signature_valid"]
    if indication == "TOTAL-FAILED":
        assert entry["pades_level"] is None and not entry["valid"]
    else:
        # The path itself is sound: only revocation data is missing.
        assert entry["trusted_root"] is True and entry["certificate_chain"][-1] == "Trust Test Root"


@pytest.mark.parametrize("trusted", [(), (pki.root("Unrelated Root"),)], ids=["no-anchor", "other-anchor"])
def test_a_self_signed_signer_without_its_anchor_is_never_passed(trusted):
    own = pki.certificate("Self Made", usage=pki.SIGNING)
    report = verify_pdf(pki.signed_pdf(own, (), None), [root.asn1 for root in trusted])
    entry, = report["signatures"]
    assert (entry["indication"], entry["sub_indication"]) == ("INDETERMINATE", "NO_CERTIFICATE_CHAIN_FOUND")
    assert report["indication"] == "INDETERMINATE" and not report["valid"]


def test_the_library_refuses_misused_certificates_when_it_gathers_or_accepts():
    forged = pki.certificate("Forged Signer", FAKE_CA, usage=pki.SIGNING)
    context = ValidationContext(trust_roots=[ROOT.asn1])
    with pytest.raises(ValidationError, match="Forged Signer.*no valid path"):
        context.collect_for_cms(pki.container(forged, (FAKE_CA, LEAF, CA)))
    plain_tsa = pki.certificate("Plain TSA", CA, usage={"digital_signature"})
    with pytest.raises(TimestampError, match="timeStamping"):
        check_timestamp_token(pki.token(plain_tsa, bytes(32), (CA, ROOT)), bytes(32))
