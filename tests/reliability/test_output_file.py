"""The output file once the document is complete: a folder that cannot be
opened for the final fsync does not turn a written document into a failure."""

import os

import CorvaneSDK.sign as sign
import CorvaneSDK.timestamp as timestamp
from support.pdf_oracles import qpdf_check
from support.sample_pdfs import document


def test_unreadable_output_folder_does_not_fail_a_written_document(service, tmp_path, monkeypatch, capsys):
    source = tmp_path / "in.pdf"
    source.write_bytes(document())
    real_open = os.open

    def open_refusing_folders(path, flags, *args, **kwargs):
        if os.fspath(path) == str(tmp_path):
            raise PermissionError(13, "Permission denied", path)
        return real_open(path, flags, *args, **kwargs)

    monkeypatch.setattr(os, "open", open_refusing_folders)
    sign.sign_test(str(source), str(tmp_path / "signed.pdf"), service.api_token, service.tenant_id, "rsa")
    timestamp.timestamp_test(str(source), str(tmp_path / "stamped.pdf"), None, None)
    monkeypatch.undo()
    assert capsys.readouterr().out == "Done\n"
    for name in ("signed.pdf", "stamped.pdf"):
        assert qpdf_check((tmp_path / name).read_bytes())[0]
    assert sorted(os.listdir(tmp_path)) == ["in.pdf", "signed.pdf", "stamped.pdf"]
