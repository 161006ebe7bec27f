"""Awkward and hostile PDF inputs through both clients against the sandbox:
each one is either signed into a document qpdf and pdfsig accept, or refused
with an error that names the problem, and neither the input nor the folder
is ever left with anything partial."""

import os
import re

import pytest
from asn1crypto import pem

import CorvaneSDK.sign as sign
import CorvaneSDK.timestamp as timestamp
from CorvaneSDK.CorvaneSign.corvane_signature import exceptions
from CorvaneSDK.verification import verify_pdf
from support.pdf_oracles import pdfsig, qpdf_check
from support.sample_pdfs import AWKWARD

# Inputs that must be refused, with words the error must contain; every other
# input of the corpus must sign.
REFUSED = {
    "signed-signature-field": (exceptions.SigningError, "'Signature1' is already signed"),
    "text-field-named-signature1": (exceptions.SigningError, "'Signature1' exists and is not a signature field"),
    "encrypted-user-password": (exceptions.PdfEncryptedError, "needs? a password|user password"),
    "truncated": (exceptions.PdfReadError, "truncated"),
    "long-garbage-after-eof": (exceptions.PdfReadError, "no startxref at its end"),
    "broken-xref-offsets": (exceptions.PdfReadError, "cross-reference table is damaged"),
    "trailer-size-beyond-pdf-limits": (exceptions.PdfReadError, "/Size 4000000000 is beyond the largest object number"),
    "zero-bytes": (exceptions.PdfReadError, "empty"),
    "not-a-pdf": (exceptions.PdfReadError, "not a PDF document"),
}
SIGNED = sorted(set(AWKWARD) - set(REFUSED))
PINNED_TIME = (1_000_000_000, 1_000_000_000)


@pytest.fixture
def make_input(tmp_path):
    def make(name):
        data = AWKWARD[name]()
        path = tmp_path / "in.pdf"
        path.write_bytes(data)
        os.utime(path, PINNED_TIME)
        return path, data
    return make


def assert_input_untouched(path, data):
    assert path.read_bytes() == data
    assert path.stat().st_mtime == PINNED_TIME[1]


@pytest.mark.parametrize("name", SIGNED)
def test_awkward_input_is_signed_into_a_valid_document(service, make_input, tmp_path, name):
    source, data = make_input(name)
    target = tmp_path / "out.pdf"
    sign.sign_test(str(source), str(target), service.api_token, service.tenant_id, "rsa")
    signed = target.read_bytes()
    assert signed.startswith(data)
    clean, report = qpdf_check(signed)
    assert clean, report
    found = pdfsig(signed)
    assert [(s["field"], s["validation"]) for s in found][:1] == [("Signature1", "Signature is Valid.")]
    assert found[-1]["field"] == "DocumentTimestamp1" and found[-1]["total"]
    # Our own verifier agrees, whatever the earlier revisions of the input hold.
    with open(service.root_cert_path, "rb") as root:
        report = verify_pdf(signed, [pem.unarmor(root.read())[2]])
    ours = [entry for entry in report["signatures"] if entry["field"] in ("Signature1", "DocumentTimestamp1")]
    assert [(entry["field"], entry["indication"]) for entry in ours] == \
        [("Signature1", "TOTAL-PASSED"), ("DocumentTimestamp1", "TOTAL-PASSED")], report
    assert_input_untouched(source, data)
    assert sorted(os.listdir(tmp_path)) == ["in.pdf", "out.pdf"]


@pytest.mark.parametrize("name", sorted(REFUSED))
def test_awkward_input_is_refused_by_name_and_nothing_is_written(service, make_input, tmp_path, capsys, name):
    source, data = make_input(name)
    target = tmp_path / "out.pdf"
    error, words = REFUSED[name]
    with pytest.raises(error, match=words):
        sign.sign_test(str(source), str(target), service.api_token, service.tenant_id, "rsa")
    assert capsys.readouterr().out == ""
    assert_input_untouched(source, data)
    assert os.listdir(tmp_path) == ["in.pdf"]
    # No signature was asked for a document that was refused.
    assert not [r for r in service.requests if "sign-info" in r.path]


@pytest.mark.parametrize("name", sorted(n for n, (error, _) in REFUSED.items() if issubclass(error, exceptions.PdfReadError)))
def test_unreadable_input_is_refused_by_the_timestamping_client(service, make_input, tmp_path, capsys, name):
    source, data = make_input(name)
    timestamp.timestamp_test(str(source), str(tmp_path / "out.pdf"), None, None)
    first, last = capsys.readouterr().out.splitlines()
    assert first.startswith("Exception ") and re.search(REFUSED[name][1], first) and last == "Done"
    assert_input_untouched(source, data)
    assert os.listdir(tmp_path) == ["in.pdf"]
    assert service.requests == []


def test_refusal_leaves_an_existing_output_file_as_it_was(service, make_input, tmp_path):
    source, data = make_input("truncated")
    target = tmp_path / "out.pdf"
    target.write_bytes(b"the caller's earlier file")
    with pytest.raises(exceptions.PdfReadError):
        sign.sign_test(str(source), str(target), service.api_token, service.tenant_id, "rsa")
    assert target.read_bytes() == b"the caller's earlier file"
    assert sorted(os.listdir(tmp_path)) == ["in.pdf", "out.pdf"]
