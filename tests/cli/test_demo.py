"""corvane demo: its own sandbox, a signed document, a valid B-LTA report."""

import pytest

from CorvaneSDK.cli.demo_command import DEFAULT_OUTPUT, sample_pdf
from support.sample_pdfs import document, qpdf


@pytest.mark.parametrize("given", [False, True], ids=["bundled-sample", "given-files"])
def test_demo_prints_a_valid_b_lta_report(corvane, tmp_path, monkeypatch, given):
    monkeypatch.chdir(tmp_path)
    arguments, output = [], tmp_path / DEFAULT_OUTPUT
    if given:
        source = tmp_path / "mine.pdf"
        source.write_bytes(qpdf(document(pages=3), "--object-streams=generate"))
        output = tmp_path / "mine-signed.pdf"
        arguments = [source, output]
    run = corvane("demo", *arguments)
    assert run.code == 0, run.out + run.err
    summary = [line.split() for line in run.out.splitlines() if line.startswith("Signature1 ")]
    assert summary[0][-2:] == ["B-LTA", "TOTAL-PASSED"]
    assert run.out.rstrip().splitlines()[-1].startswith("TOTAL-PASSED")
    assert output.read_bytes().startswith(source.read_bytes() if given else sample_pdf())


def test_demo_refuses_a_missing_input(corvane, tmp_path):
    run = corvane("demo", tmp_path / "absent.pdf", tmp_path / "out.pdf")
    assert run.code == 1 and "is not a file" in run.err
