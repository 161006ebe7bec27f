"""500 signings and 500 document timestamps in one process leave no open
descriptors behind and no steady growth of resident memory.

Tolerance: after a warm-up of 100 rounds (imports, caches, the allocator's
arenas), resident memory may still move by allocator noise. A leak of
anything one round holds would add far more: each signed output alone is
over 60 KB (the reserved /Contents is 61,684 hex digits), and the qpdf
documents behind it more, so leaking one of them per round grows memory by
more than 24 MB over the 400 measured rounds. 12 MB is half of that."""

import json
import os
import subprocess
import sys

import pytest

from support.sample_pdfs import document

ROUNDS, BATCH, WARM_UP = 500, 50, 100
TOLERANCE = 12 * 1024 * 1024
WORKLOAD = os.path.join(os.path.dirname(__file__), "hygiene_workload.py")


@pytest.mark.slow
def test_five_hundred_signings_and_timestamps_leak_nothing(sandbox, tmp_path):
    (tmp_path / "in.pdf").write_bytes(document(pages=2))
    run = subprocess.run([sys.executable, WORKLOAD, sandbox.url, sandbox.tenant_id, sandbox.api_token,
                          str(tmp_path), str(ROUNDS), str(BATCH)],
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=1800)
    assert run.returncode == 0, run.stderr[-2000:]
    samples = json.loads(run.stderr)
    assert samples[-1]["done"] == ROUNDS and run.stdout.count("Done") == ROUNDS
    measured = [sample for sample in samples if sample["done"] >= WARM_UP]
    print("hygiene:", json.dumps(samples))
    assert {sample["fds"] for sample in measured} == {measured[0]["fds"]}
    growth = measured[-1]["rss"] - measured[0]["rss"]
    assert growth < TOLERANCE, samples
    assert sorted(os.listdir(tmp_path)) == ["in.pdf", "signed.pdf", "stamped.pdf"]
