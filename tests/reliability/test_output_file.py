"""The output file once the document is complete: a folder that cannot be
opened for the final fsync does not turn a written document into a failure."""

import os

import CorvaneSDK.sign as sign
import CorvaneSDK.timestamp as timestamp
from support.pdf_oracles import qpdf_check
from support.sample_pdfs import document


def test_unreadable_output_folder_does_not_fail_a_written_document(service, tmp_path, capsys):
    source = tmp_path / "in.pdf"
    source.write_bytes(document())
    folder = tmp_path / "write-only"
    folder.mkdir()
    folder.chmod(0o300)  # entries can be made, but the folder cannot be opened to sync it
    try:
        sign.sign_test(str(source), str(folder / "signed.pdf"), service.api_token, service.tenant_id, "rsa")
        timestamp.timestamp_test(str(source), str(folder / "stamped.pdf"), None, None)
    finally:
        folder.chmod(0o700)
    assert capsys.readouterr().out == "Done\n"
    for name in ("signed.pdf", "stamped.pdf"):
        assert qpdf_check((folder / name).read_bytes())[0]
    assert sorted(os.listdir(folder)) == ["signed.pdf", "stamped.pdf"]
