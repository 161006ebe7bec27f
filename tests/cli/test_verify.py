"""corvane verify on valid documents: it agrees with pdfsig, reports the
level each file was made to, passes only what it can prove (trust anchors
given, revocation data in the file) and leaves the rest INDETERMINATE."""

import datetime

import jsonschema
import pytest
from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.x509.oid import NameOID

from support.pdf_oracles import pdfsig
from support.sandbox_signing import LEVELS


@pytest.mark.parametrize("level", LEVELS)
def test_verify_agrees_with_pdfsig_and_reports_the_level(corvane, sandbox, signed_at, schema, level):
    path = signed_at[level]
    run = corvane("verify", path, "--trust", sandbox.ca_bundle_path, "--json")
    report = run.report
    jsonschema.validate(report, schema)
    # Without revocation data in the file (B-B, B-T) nothing proves the signer unrevoked.
    proven = level in ("B-LT", "B-LTA")
    assert run.code == (0 if proven else 3), run.out
    assert report["indication"] == ("TOTAL-PASSED" if proven else "INDETERMINATE")
    assert report["size"] == path.stat().st_size

    judged = pdfsig(path.read_bytes())
    assert [entry["field"] for entry in report["signatures"]] == [item["field"] for item in judged]
    for entry, item in zip(report["signatures"], judged):
        assert entry["covers_whole_file"] == item["total"]
        assert entry["covers_revision"] and entry["later_revisions"]["allowed"]
        assert entry["trusted_root"] is True
        assert entry["sub_indication"] == (None if proven else "TRY_LATER")
        if entry["type"] == "signature":
            assert item["validation"] == "Signature is Valid."
            assert entry["certificate_chain"][0] == item["signer"]
            assert entry["digest_valid"] and entry["signature_valid"]
            assert entry["pades_level"] == level
            assert entry["signing_time"] is not None
            assert (entry["timestamp"] is not None) == (level != "B-B")
            assert (entry["revocation"]["status"] == "good") == (level in ("B-LT", "B-LTA"))


def test_human_report_is_a_table_of_every_entry(corvane, sandbox, signed_at):
    run = corvane("verify", signed_at["B-LTA"], "--trust", sandbox.root_cert_path)
    assert run.code == 0
    rows = {}
    for line in run.out.splitlines():
        if line.strip():
            rows.setdefault(line.split()[0], line.split())  # the summary table comes first
    assert rows["Signature1"][-2:] == ["B-LTA", "TOTAL-PASSED"]
    assert rows["DocumentTimestamp1"][-1] == "TOTAL-PASSED"
    assert run.out.rstrip().splitlines()[-1].startswith("TOTAL-PASSED")
    assert "PAdES level" in run.out and "revocation" in run.out


def _foreign_root(folder):
    key = ec.generate_private_key(ec.SECP256R1())
    name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "Somebody Else's Root")])
    now = datetime.datetime.now(datetime.timezone.utc)
    cert = (x509.CertificateBuilder().subject_name(name).issuer_name(name).public_key(key.public_key())
            .serial_number(x509.random_serial_number()).not_valid_before(now)
            .not_valid_after(now + datetime.timedelta(days=1))
            .add_extension(x509.BasicConstraints(ca=True, path_length=None), critical=True)
            .sign(key, hashes.SHA256()))
    path = folder / "foreign.pem"
    path.write_bytes(cert.public_bytes(serialization.Encoding.PEM))
    return path


@pytest.mark.parametrize("trust, trusted, code", [
    ("none", None, 3), ("sandbox root", True, 0), ("foreign root", False, 3)])
def test_trust_is_decided_only_against_given_roots(corvane, sandbox, signed_at, tmp_path, trust, trusted, code):
    options = {"none": [], "sandbox root": ["--trust", sandbox.root_cert_path],
               "foreign root": ["--trust", _foreign_root(tmp_path)]}[trust]
    run = corvane("verify", signed_at["B-LTA"], "--json", *options)
    assert run.code == code
    for entry in run.report["signatures"]:
        assert entry["trusted_root"] is trusted
        assert entry["digest_valid"] and entry["signature_valid"]
    if trusted is not True:
        # Trust not proven is undecided, not failed: a self-signed forgery must not pass either way.
        for entry in run.report["signatures"]:
            assert (entry["indication"], entry["sub_indication"]) == ("INDETERMINATE", "NO_CERTIFICATE_CHAIN_FOUND")


def test_a_second_signature_keeps_the_first_valid(corvane, sandbox, signed_at, tmp_path):
    from support.sandbox_signing import sign_at_level
    path = tmp_path / "twice.pdf"
    path.write_bytes(sign_at_level(sandbox, signed_at["B-LTA"].read_bytes(), "B-LTA", "Signature2", pki="ecdsa"))
    run = corvane("verify", path, "--trust", sandbox.root_cert_path, "--json")
    assert run.code == 0
    fields = [entry["field"] for entry in run.report["signatures"]]
    assert fields == [item["field"] for item in pdfsig(path.read_bytes())]
    assert fields == ["Signature1", "DocumentTimestamp1", "Signature2", "DocumentTimestamp2"]
    first = run.entry("Signature1")
    assert first["later_revisions"]["added"] == ["validation data (DSS)", "document timestamp", "signature"]
    assert first["pades_level"] == run.entry("Signature2")["pades_level"] == "B-LTA"
    assert [entry["revision"] for entry in run.report["signatures"]] == [2, 4, 5, 7]
