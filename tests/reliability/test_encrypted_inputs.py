"""Encrypted documents: those that open without a password are signed and
stay encrypted under the same handler; those that need a password, or whose
permissions forbid filling in form fields, are refused by name."""

import base64
import json
import subprocess

import pytest
from asn1crypto import x509

import CorvaneSDK.sign as sign
from CorvaneSDK.CorvaneSign.corvane_signature import exceptions
from CorvaneSDK import _pdfengine
from support.pdf_oracles import (_with_file, covered_bytes, openssl_cms_verify, pdfsig, qpdf_check,
                                 signature_contents)
from support.sample_pdfs import document, encrypted, qpdf

# qpdf's encryption options, and the /R revision each one gives.
HANDLERS = {
    "aes-256": (("256",), 6),
    "aes-128": (("128", "--use-aes=y"), 4),
    "rc4-128": (("128", "--use-aes=n"), 3),
    "rc4-40": (("40",), 2),
}


def encryption_of(data):
    """qpdf's description of the document's encryption, without the password line."""
    shown = _with_file(data, lambda path, _: subprocess.run(
        ["qpdf", "--show-encryption", path], capture_output=True, text=True))
    return [line for line in shown.stdout.splitlines() if not line.startswith("Supplied password")]


def decrypted_objects(data):
    """The document's objects as qpdf decrypts them, with stream data inline."""
    shown = _with_file(data, lambda path, _: subprocess.run(
        ["qpdf", "--json=2", "--json-stream-data=inline", "--json-key=qpdf", path],
        capture_output=True, text=True))
    return json.loads(shown.stdout)["qpdf"][1]


def catalog_of(objects):
    return next(v["value"] for v in objects.values()
                if isinstance(v.get("value"), dict) and v["value"].get("/Type") == "/Catalog")


def dss_certificates(data):
    """The certificates in the DSS, decrypted and decoded by qpdf."""
    objects = decrypted_objects(data)
    dss = objects["obj:" + catalog_of(objects)["/DSS"]]["value"]
    return [x509.Certificate.load(base64.b64decode(objects["obj:" + ref]["stream"]["data"]))
            for ref in dss["/Certs"]]


@pytest.mark.parametrize("handler", sorted(HANDLERS))
def test_document_without_user_password_is_signed_and_stays_encrypted(service, tmp_path, handler):
    options, revision = HANDLERS[handler]
    original = encrypted(qpdf(document(pages=2, catalog_extra=b"/Lang (en-GB)"), "--object-streams=generate"),
                         "", *options)
    source, target = tmp_path / "in.pdf", tmp_path / "out.pdf"
    source.write_bytes(original)
    sign.sign_test(str(source), str(target), service.api_token, service.tenant_id, "rsa")
    signed = target.read_bytes()
    assert signed.startswith(original)
    assert "R = %d" % revision in encryption_of(signed) and encryption_of(signed) == encryption_of(original)
    clean, report = qpdf_check(signed)
    assert clean, report
    assert [s["validation"] for s in pdfsig(signed)][:1] == ["Signature is Valid."]
    # The container sits unencrypted in /Contents, as validators read it.
    _, _, _, byte_range, _ = _pdfengine.open(signed).signatures()[0]
    ok, report = openssl_cms_verify(signature_contents(signed, byte_range), covered_bytes(signed, byte_range),
                                    service.ca_bundle_path)
    assert ok, report
    # Strings the update wrote (field names, reason) are encrypted on disk and
    # decrypt to their text; the DSS streams decrypt to real certificates.
    appended = signed[len(original):]
    assert b"Signature1" not in appended and b"Signer Name" not in appended
    assert {f for f, _, _ in _pdfengine.open(signed).fields()} == {"Signature1", "DocumentTimestamp1"}
    # The catalog, rewritten by the update, keeps its own string readable.
    assert catalog_of(decrypted_objects(signed))["/Lang"] == "u:en-GB"
    subjects = {c.subject.native["common_name"] for c in dss_certificates(signed)}
    assert service.pki.root.subject.native["common_name"] in subjects


@pytest.mark.parametrize("password, options, words", [
    ("secret", ("256",), "user password"),
    ("secret", ("128", "--use-aes=y"), "user password"),
    ("", ("256", "--form=n", "--annotate=n", "--modify-other=n"), "permissions forbid filling in form fields"),
])
def test_refused_encrypted_documents(tmp_path, password, options, words):
    data = encrypted(document(), password, *options)
    with pytest.raises(exceptions.PdfEncryptedError, match=words):
        _pdfengine.open(data).prepare_signature("Signature1", "/ETSI.CAdES.detached", 8192)
