"""The Client signs to each level, from and to paths, bytes and streams, and
adds further signers to a signed document."""

import io
import os

import pytest

from CorvaneSDK import Client, CorvaneError, OutputError, PdfError
from CorvaneSDK.sandbox.paths import AUTH_TSA_PATH, OPEN_TSA_PATH


@pytest.mark.parametrize("level, source_kind, destination_kind, own_tsa, pki", [
    ("B-B", "stream", "stream", False, "rsa"),
    ("B-T", "bytes", "none", True, "rsa"),
    ("B-LT", "path", "none", False, "ecdsa"),
    ("B-LTA", "path", "path", False, "rsa"),
])
def test_levels_inputs_and_outputs(sandbox, client, pdf, tmp_path, report_of, level, source_kind, destination_kind,
                                   own_tsa, pki):
    if own_tsa:
        client = Client(sandbox.url, sandbox.api_token, sandbox.tenant_id, tsa_url=sandbox.open_tsa_url)
    source_path = tmp_path / "in.pdf"
    source_path.write_bytes(pdf)
    source = {"stream": io.BytesIO(pdf), "bytes": pdf, "path": str(source_path)}[source_kind]
    stream = io.BytesIO()
    destination = {"stream": stream, "none": None, "path": str(tmp_path / "out.pdf")}[destination_kind]

    result = client.sign(source, destination, level=level, pki=pki)

    signed = {"stream": stream.getvalue, "none": lambda: result.output,
              "path": lambda: (tmp_path / "out.pdf").read_bytes()}[destination_kind]()
    assert signed.startswith(pdf) and source_path.read_bytes() == pdf
    assert result.output == (str(tmp_path / "out.pdf") if destination_kind == "path"
                             else signed if destination_kind == "none" else None)
    assert (result.field, result.signer, result.level) == ("Signature1", sandbox.users[0]["user_full_name"], level)
    assert result.signing_time is not None
    assert (result.timestamp_time is None) == (level == "B-B")
    report = report_of(signed)
    signature = report["signatures"][0]
    assert signature["pades_level"] == level and signature["digest_valid"] and signature["signature_valid"]
    # Offline, only the levels with validation data in the document can pass.
    assert (report["indication"] == "TOTAL-PASSED") == (level in ("B-LT", "B-LTA")), report
    assert len(report["signatures"]) == (2 if level == "B-LTA" else 1)
    used = {request.path for request in sandbox.requests}
    if level != "B-B":
        assert (OPEN_TSA_PATH if own_tsa else AUTH_TSA_PATH) in used
        assert (AUTH_TSA_PATH if own_tsa else OPEN_TSA_PATH) not in used


def test_further_signers_keep_earlier_signatures_valid(sandbox, client, pdf, report_of):
    first = client.sign(pdf, level="B-LT")
    second = client.sign(first.output, user_id=sandbox.users[1]["user_id"], reason="Approved", level="B-LT")
    third = client.sign(second.output, level="B-LTA")

    assert [first.field, second.field, third.field] == ["Signature1", "Signature2", "Signature3"]
    assert second.signer == sandbox.users[1]["user_full_name"]
    report = report_of(third.output)
    assert report["indication"] == "TOTAL-PASSED", report
    by_field = {entry["field"]: entry for entry in report["signatures"]}
    assert by_field["Signature1"]["reason"].startswith("Date Time: ")
    assert "Signer Name: %s" % sandbox.users[0]["user_full_name"] in by_field["Signature1"]["reason"]
    assert by_field["Signature2"]["reason"] == "Approved"
    with pytest.raises(PdfError, match="Signature2"):
        client.sign(third.output, field="Signature2")


def test_timestamp_and_verify(sandbox, client, pdf, tmp_path):
    stamped = client.timestamp(pdf)
    assert stamped.field == "DocumentTimestamp1" and stamped.timestamp_time is not None
    again = client.timestamp(io.BytesIO(stamped.output), str(tmp_path / "twice.pdf"))
    assert again.field == "DocumentTimestamp2" and again.output == str(tmp_path / "twice.pdf")
    report = client.verify(again.output, trust=[sandbox.root_cert_path])
    assert report["indication"] == "TOTAL-PASSED", report
    assert client.verify(again.output)["indication"] != "TOTAL-PASSED"  # nothing trusted


def test_output_failures_leave_targets_alone(sandbox, client, pdf, tmp_path):
    with pytest.raises(OutputError, match="missing"):
        client.sign(pdf, str(tmp_path / "missing" / "out.pdf"), level="B-B")
    existing = tmp_path / "existing.pdf"
    existing.write_bytes(b"keep me")
    sandbox.faults.tsa_reject()
    with pytest.raises(CorvaneError):
        client.sign(pdf, str(existing), level="B-T")
    assert existing.read_bytes() == b"keep me" and os.listdir(tmp_path) == ["existing.pdf"]


def test_repr_never_shows_the_token(sandbox, client):
    assert sandbox.api_token not in repr(client) and sandbox.tenant_id in repr(client)


def test_the_fixed_modules_do_not_load_the_client():
    import subprocess
    import sys
    code = "import sys, CorvaneSDK.sign, CorvaneSDK.timestamp; print('CorvaneSDK.client' in sys.modules)"
    assert subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                          check=True).stdout.strip() == "False"
