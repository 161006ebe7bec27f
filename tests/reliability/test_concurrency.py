"""Several signings at once: from threads, each with its own event loop, and
as coroutines of one event loop."""

import asyncio
import os
import queue
import threading

import CorvaneSDK.sign as sign
from CorvaneSDK.CorvaneSign.corvane_signature import exceptions
from support.pdf_oracles import pdfsig, qpdf_check
from support.sample_pdfs import document, qpdf

THREADS = 8
SIGNINGS = 50


def distinct_document(index):
    data = document(pages=1 + index % 3, catalog_extra=b"/Lang (doc-%d)" % index)
    return qpdf(data, "--object-streams=generate") if index % 2 else data


def test_eight_threads_sign_fifty_different_documents_at_once(service, tmp_path):
    jobs = queue.Queue()
    for index in range(SIGNINGS):
        source = tmp_path / ("in-%02d.pdf" % index)
        source.write_bytes(distinct_document(index))
        jobs.put(index)
    start = threading.Barrier(THREADS)
    failures = []

    def worker():
        start.wait()
        while True:
            try:
                index = jobs.get_nowait()
            except queue.Empty:
                return
            try:
                sign.sign_test(str(tmp_path / ("in-%02d.pdf" % index)), str(tmp_path / ("out-%02d.pdf" % index)),
                               service.api_token, service.tenant_id, "rsa")
            except Exception as exc:  # reported below, with the document it hit
                failures.append((index, exc))

    threads = [threading.Thread(target=worker) for _ in range(THREADS)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(timeout=600)
    assert not any(thread.is_alive() for thread in threads)
    assert failures == []
    for index in range(SIGNINGS):
        original = (tmp_path / ("in-%02d.pdf" % index)).read_bytes()
        signed = (tmp_path / ("out-%02d.pdf" % index)).read_bytes()
        assert signed.startswith(original)
        assert qpdf_check(signed)[0]
        assert pdfsig(signed)[0]["validation"] == "Signature is Valid."
    assert len(os.listdir(tmp_path)) == 2 * SIGNINGS


def test_one_event_loop_signs_several_documents_and_isolates_a_failure(service, tmp_path):
    sources = []
    for index in range(4):
        path = tmp_path / ("in-%d.pdf" % index)
        path.write_bytes(distinct_document(index))
        sources.append(path)
    broken = tmp_path / "broken.pdf"
    broken.write_bytes(b"%PDF-1.7\nnothing else")

    async def main():
        procedures = [sign.full_procedure_test if index % 2 else sign.full_procedure for index in range(4)]
        coroutines = [procedure(str(path), str(path) + ".signed", service.api_token, service.tenant_id, "rsa",
                                None, None) for procedure, path in zip(procedures, sources)]
        coroutines.append(sign.full_procedure_test(str(broken), str(broken) + ".signed", service.api_token,
                                                   service.tenant_id, "rsa", None, None))
        return await asyncio.gather(*coroutines, return_exceptions=True)

    results = asyncio.run(main())
    assert results[:4] == [None] * 4
    assert isinstance(results[4], exceptions.PdfReadError)
    for path in sources:
        signed = (tmp_path / (path.name + ".signed")).read_bytes()
        assert signed.startswith(path.read_bytes())
        assert pdfsig(signed)[0]["validation"] == "Signature is Valid."
    assert not (tmp_path / "broken.pdf.signed").exists()
