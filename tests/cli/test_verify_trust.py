"""corvane verify and what trust rests on: revocation answers judged on a
path up to the given anchor (which the file need not carry) at the time the
signature is proven to have existed, every client's output passing when the
sandbox root is trusted, and the ways trust anchors are given."""

import os
import time

import pytest
import requests

import CorvaneSDK.sign as sign
import CorvaneSDK.timestamp as timestamp
from CorvaneSDK.CorvaneSign.corvane_certvalidator.ocsp_check import ocsp_request_for
from CorvaneSDK.verification.trust_anchors import SYSTEM_BUNDLES
from CorvaneSDK.sandbox.pki import ROOT, SIGNER_CA, TSA_CA
from CorvaneSDK.verification.containers import load_container
from CorvaneSDK.CorvaneSign.corvane_certvalidator.cms_certs import signature_timestamp_tokens, signer_certificate
from CorvaneSDK import _pdfengine
from support.pdf_edits import Editor
from support.sample_pdfs import document
from support.sandbox_signing import sign_at_level


def _ocsp_answer(sandbox, cert, issuer_name, issuer):
    response = requests.post(sandbox.url + "/ocsp/" + issuer_name, data=ocsp_request_for(cert, issuer).dump(),
                             headers={"Content-Type": "application/ocsp-request"}, timeout=10)
    response.raise_for_status()
    return response.content


def _stream(body):
    return b"<< /Length %d >>\nstream\n%s\nendstream" % (len(body), body)


def with_dss_from_the_responders(sandbox, data):
    """``data`` plus a DSS holding the issuing CAs' certificates and the responders' current
    answers for the signer, the signature timestamp's TSA and their CAs: the root stays out."""
    container = load_container(_pdfengine.open(data).signatures()[0][4])
    leaves = [(signer_certificate(container), SIGNER_CA)]
    leaves += [(signer_certificate(token), TSA_CA) for token in signature_timestamp_tokens(container)]
    root = sandbox.pki.authority(ROOT).asn1
    editor = Editor(data)
    dss = {"/Certs": [], "/OCSPs": []}
    for leaf, ca_name in leaves:
        ca = sandbox.pki.authority(ca_name).asn1
        dss["/Certs"].append(editor.add(_stream(ca.dump())))
        for cert, issuer_name, issuer in ((leaf, ca_name, ca), (ca, ROOT, root)):
            dss["/OCSPs"].append(editor.add(_stream(_ocsp_answer(sandbox, cert, issuer_name, issuer))))
    catalog = editor.object(editor.catalog_ref)
    catalog["/DSS"] = editor.add(dss)
    editor.put(editor.catalog_ref, catalog)
    return editor.update()


@pytest.mark.parametrize("level, revoke, indication, sub_indication, code", [
    ("B-B", False, "TOTAL-PASSED", None, 0),
    ("B-B", True, "TOTAL-FAILED", "REVOKED", 1),
    # Revoked only after the signature timestamp proved the signature existed.
    ("B-T", True, "TOTAL-PASSED", None, 0),
], ids=["good", "revoked-before-proof", "revoked-after-proof"])
def test_genuine_ocsp_answers_count_without_the_root_in_the_file(corvane, sandbox, tmp_path, level, revoke,
                                                                  indication, sub_indication, code):
    signed = sign_at_level(sandbox, document(), level)
    if revoke:
        time.sleep(1.1)  # times in OCSP answers and tokens have one-second precision
        signer = signer_certificate(load_container(_pdfengine.open(signed).signatures()[0][4]))
        sandbox.revoke(signer.serial_number)
    path = tmp_path / "with-dss.pdf"
    path.write_bytes(with_dss_from_the_responders(sandbox, signed))
    run = corvane("verify", path, "--trust", sandbox.root_cert_path, "--json")
    entry = run.entry("Signature1")
    assert (entry["indication"], entry["sub_indication"]) == (indication, sub_indication), entry["problems"]
    assert run.code == code
    assert entry["revocation"]["status"] == ("revoked" if sub_indication else "good")
    assert bool(entry["notes"]) == (revoke and code == 0)  # a revocation after the proof is still told


@pytest.mark.parametrize("entry_point", ["sign_crvn", "sign_test", "timestamp_crvn", "timestamp_test"])
def test_every_client_output_passes_when_the_sandbox_root_is_trusted(corvane, service, tmp_path, capsys,
                                                                     entry_point):
    source, target = tmp_path / "in.pdf", tmp_path / "out.pdf"
    source.write_bytes(document())
    if entry_point.startswith("sign"):
        getattr(sign, entry_point)(str(source), str(target), service.api_token, service.tenant_id, "ecdsa",
                                   user_id=service.users[1]["user_id"])
    else:
        getattr(timestamp, entry_point)(str(source), str(target), service.api_token, service.tenant_id)
    run = corvane("verify", target, "--trust", service.root_cert_path, "--json")
    assert run.code == 0, run.out
    for entry in run.report["signatures"]:
        assert entry["indication"] == "TOTAL-PASSED" and entry["trusted_root"] is True
    if entry_point.startswith("sign"):
        assert run.entry("Signature1")["pades_level"] == "B-LTA"


def test_trust_anchors_from_a_folder_or_the_system_store(corvane, sandbox, signed_at, tmp_path):
    folder = tmp_path / "anchors"
    folder.mkdir()
    (folder / "sandbox-root.pem").write_bytes(open(sandbox.root_cert_path, "rb").read())
    (folder / "README").write_text("certificates of the roots we trust")
    run = corvane("verify", signed_at["B-LTA"], "--trust", folder, "--json")
    assert run.code == 0 and run.report["trust_roots"] == 1

    empty = tmp_path / "empty"
    empty.mkdir()
    assert corvane("verify", signed_at["B-LTA"], "--trust", empty).code == 2

    if not any(os.path.isfile(bundle) for bundle in SYSTEM_BUNDLES):
        pytest.skip("this machine has no system trust store")
    run = corvane("verify", signed_at["B-LTA"], "--system-trust", "--json")
    # The sandbox root is in no operating system's store.
    assert run.code == 3 and run.report["trust_roots"] > 0
    assert run.entry("Signature1")["sub_indication"] == "NO_CERTIFICATE_CHAIN_FOUND"
