"""Both clients against the sandbox, judged by qpdf, pdfsig and openssl."""

import asyncio
import gc
import os

import pytest
import requests

import CorvaneSDK.sign as sign
import CorvaneSDK.timestamp as timestamp
from CorvaneSDK import _pdfengine
from CorvaneSDK.sandbox import paths
from support.pdf_oracles import covered_bytes, openssl_ts_verify, pdfsig, qpdf_check, signature_contents
from support.sample_pdfs import document, qpdf


INPUTS = {
    "one-page": lambda: document(),
    "multi-page-object-streams": lambda: qpdf(document(pages=5), "--object-streams=generate"),
}


@pytest.fixture(params=sorted(INPUTS))
def source(request, tmp_path):
    path = tmp_path / "in.pdf"
    path.write_bytes(INPUTS[request.param]())
    return path


def signatures(data):
    return _pdfengine.open(data).signatures()


def tsa_requests(sandbox):
    return [r for r in sandbox.requests if r.path in paths.TSA_PATHS]


def service_paths(sandbox):
    return [r.path for r in sandbox.requests if r.path.startswith("/api/")]


def reason_of(data):
    """/Reason of the document's first signature, read by qpdf."""
    import json
    import subprocess
    import tempfile
    with tempfile.NamedTemporaryFile(suffix=".pdf") as handle:
        handle.write(data)
        handle.flush()
        shown = subprocess.run(["qpdf", "--json=2", "--json-key=qpdf", handle.name],
                               capture_output=True, text=True)
    for value in json.loads(shown.stdout)["qpdf"][1].values():
        entries = value.get("value", {}) if isinstance(value, dict) else {}
        if isinstance(entries, dict) and entries.get("/Type") == "/Sig":
            return entries["/Reason"][2:]  # qpdf shows text strings as "u:..."
    return None


@pytest.mark.parametrize("entry", ["sign_crvn", "sign_test"])
def test_signing_gives_a_valid_b_lta_document(service, source, tmp_path, capsys, entry):
    target = tmp_path / "out.pdf"
    user = service.users[1]
    assert getattr(sign, entry)(str(source), str(target), service.api_token, service.tenant_id, "rsa",
                                user_id=user["user_id"]) is None
    assert capsys.readouterr().out == ""
    original, signed = source.read_bytes(), target.read_bytes()
    assert signed.startswith(original)
    clean, report = qpdf_check(signed)
    assert clean, report
    found = pdfsig(signed)
    assert found[0]["field"] == "Signature1" and found[0]["validation"] == "Signature is Valid."
    kinds = [kind for _, kind, _, _, _ in signatures(signed)]
    assert kinds == ["/Sig", "/DocTimeStamp"]
    assert b"/DSS" in signed[len(original):]
    reason = reason_of(signed)
    division = user["division"] if user["division"] is not None else ""
    assert reason.startswith("Date Time: ")
    assert reason.endswith(", Signer Name: %s, Company Name: %s, Division: %s, Email: %s" % (
        user["user_full_name"], user["user_company_name"], division, user["user_email"]))
    # The signature timestamp came from the server the variant is meant to use.
    used = {r.path for r in tsa_requests(service)}
    expected = paths.AUTH_TSA_PATH if entry == "sign_crvn" else paths.OPEN_TSA_PATH
    assert used == {expected}
    if entry == "sign_crvn":
        assert all(r.headers.get("Authorization", "").startswith("Basic ") for r in tsa_requests(service))


def test_signing_with_ecdsa_and_by_email(service, tmp_path):
    source = tmp_path / "in.pdf"
    source.write_bytes(document())
    target = tmp_path / "out.pdf"
    sign.sign_crvn(str(source), str(target), service.api_token, service.tenant_id, "ecdsa",
                   email=service.users[2]["user_email"])
    assert pdfsig(target.read_bytes())[0]["validation"] == "Signature is Valid."


def test_refused_user_info_prints_and_changes_nothing(service, tmp_path, capsys):
    source = tmp_path / "in.pdf"
    source.write_bytes(document())
    target = tmp_path / "out.pdf"
    target.write_bytes(b"precious")
    sign.sign_crvn(str(source), str(target), service.other_api_token, service.tenant_id, "rsa")
    assert capsys.readouterr().out == "Error\nError: get user info\n"
    assert service_paths(service) == [paths.USER_INFO_PATH]
    assert target.read_bytes() == b"precious"


def test_refused_certificate_info_prints_and_changes_nothing(service, tmp_path, capsys):
    source = tmp_path / "in.pdf"
    source.write_bytes(document())
    target = tmp_path / "out.pdf"
    target.write_bytes(b"precious")
    service.faults.respond(paths.SIGN_INFO_PATH, 403, "not yours")
    sign.sign_crvn(str(source), str(target), service.api_token, service.tenant_id, "rsa")
    assert capsys.readouterr().out == "Error\nError: get certificate info\n"
    assert service_paths(service) == [paths.USER_INFO_PATH, paths.SIGN_INFO_PATH]
    assert target.read_bytes() == b"precious"


@pytest.mark.parametrize("fault, error", [
    ("signature_not_base64", ValueError),
    ("certificate_not_der", Exception),
    ("credentials_missing", KeyError),
    ("signature_invalid", Exception),
])
def test_failures_propagate_and_leave_no_output(service, tmp_path, fault, error):
    source = tmp_path / "in.pdf"
    source.write_bytes(document())
    target = tmp_path / "out.pdf"
    getattr(service.faults, fault)()
    with pytest.raises(error):
        sign.sign_crvn(str(source), str(target), service.api_token, service.tenant_id, "rsa")
    assert os.listdir(tmp_path) == ["in.pdf"]


def test_unreachable_service_and_non_pdf_input_propagate(service, tmp_path, monkeypatch):
    source = tmp_path / "in.pdf"
    source.write_bytes(b"this is not a PDF")
    target = tmp_path / "out.pdf"
    from CorvaneSDK.CorvaneSign.corvane_signature.exceptions import PdfReadError
    with pytest.raises(PdfReadError):
        sign.sign_crvn(str(source), str(target), service.api_token, service.tenant_id, "rsa")
    monkeypatch.setattr(sign, "CRVN_DOMAIN_URL", "http://127.0.0.1:9")
    with pytest.raises(requests.ConnectionError):
        sign.sign_crvn(str(source), str(target), service.api_token, service.tenant_id, "rsa")
    assert os.listdir(tmp_path) == ["in.pdf"]


@pytest.mark.filterwarnings("ignore:coroutine 'full_procedure' was never awaited")
def test_no_request_from_a_running_loop_or_an_unawaited_procedure(service, tmp_path):
    async def inside_a_loop():
        sign.sign_crvn("in.pdf", str(tmp_path / "out.pdf"), service.api_token, service.tenant_id, "rsa")

    with pytest.raises(RuntimeError):
        asyncio.run(inside_a_loop())
    gc.collect()  # the refused coroutine lived on in the traceback
    coroutine = sign.full_procedure("in.pdf", str(tmp_path / "out.pdf"), service.api_token,
                                    service.tenant_id, "rsa", None, None)
    assert asyncio.iscoroutine(coroutine)
    coroutine.close()
    assert service.requests == [] and os.listdir(tmp_path) == []


def test_coroutine_api_from_the_callers_loop(service, tmp_path):
    sources = []
    for index in range(3):
        path = tmp_path / ("in%d.pdf" % index)
        path.write_bytes(document(pages=index + 1))
        sources.append(path)

    async def main():
        await asyncio.gather(*(
            sign.full_procedure_test(str(path), str(path) + ".signed", service.api_token,
                                     service.tenant_id, "rsa", None, None) for path in sources))

    asyncio.run(main())
    for path in sources:
        assert pdfsig((tmp_path / (path.name + ".signed")).read_bytes())[0]["validation"] == \
            "Signature is Valid."


def document_timestamp(data):
    (field, kind, subfilter, byte_range, _), = [s for s in signatures(data) if s[1] == "/DocTimeStamp"][-1:]
    return subfilter, byte_range


@pytest.mark.parametrize("entry", ["timestamp_crvn", "timestamp_test"])
def test_timestamping_gives_a_verifiable_document_timestamp(service, source, tmp_path, capsys, entry):
    target = tmp_path / "out.pdf"
    assert getattr(timestamp, entry)(str(source), str(target), service.api_token, service.tenant_id) is None
    assert capsys.readouterr().out == "Done\n"
    original, stamped = source.read_bytes(), target.read_bytes()
    assert stamped.startswith(original)
    clean, report = qpdf_check(stamped)
    assert clean, report
    subfilter, byte_range = document_timestamp(stamped)
    assert subfilter == "/ETSI.RFC3161"
    token = signature_contents(stamped, byte_range)
    ok, report = openssl_ts_verify(token, service.ca_bundle_path, data=covered_bytes(stamped, byte_range))
    assert ok, report
    expected = paths.AUTH_TSA_PATH if entry == "timestamp_crvn" else paths.OPEN_TSA_PATH
    assert {r.path for r in tsa_requests(service)} == {expected}
    if entry == "timestamp_crvn":
        assert paths.TIMESTAMP_INFO_PATH in service_paths(service)


@pytest.mark.parametrize("break_server", [
    lambda sb, mp: sb.faults.tsa_reject(),
    lambda sb, mp: sb.faults.tsa_http_error(500),
    lambda sb, mp: mp.setattr(timestamp, "DUMMY_HTTP_TS", "http://127.0.0.1:9/TSS/RFC3161sha2TS"),
], ids=["rejection", "status-500", "unreachable"])
def test_failing_timestamp_server_leaves_the_output_untouched(service, tmp_path, monkeypatch, capsys,
                                                              break_server):
    source = tmp_path / "in.pdf"
    source.write_bytes(document())
    target = tmp_path / "out.pdf"
    target.write_bytes(b"precious")
    break_server(service, monkeypatch)
    timestamp.timestamp_test(str(source), str(target), None, None)
    lines = capsys.readouterr().out.splitlines()
    assert lines[0].startswith("Exception ") and lines[1:] == ["Done"]
    assert target.read_bytes() == b"precious"
    assert sorted(os.listdir(tmp_path)) == ["in.pdf", "out.pdf"]


def test_timestamping_in_place(service, tmp_path, capsys):
    path = tmp_path / "doc.pdf"
    original = document()
    path.write_bytes(original)
    service.faults.tsa_reject()
    timestamp.timestamp_crvn(str(path), str(path), service.api_token, service.tenant_id)
    assert path.read_bytes() == original
    service.faults.clear()
    timestamp.timestamp_crvn(str(path), str(path), service.api_token, service.tenant_id)
    stamped = path.read_bytes()
    assert stamped.startswith(original) and qpdf_check(stamped)[0]
    assert capsys.readouterr().out.splitlines()[-1] == "Done"
    assert os.listdir(tmp_path) == ["doc.pdf"]
