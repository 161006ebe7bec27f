"""One measurement, run in a fresh process by run.py:

    python measure.py limit PDF
    python measure.py sign|timestamp PDF WARMUP_PDF SANDBOX_JSON
    python measure.py verify SIGNED_PDF
    python measure.py threads PDF PDF WARMUP_PDF SANDBOX_JSON

prints one JSON object.  CPU time is this process's user + system time
(the sandbox runs elsewhere); memory is the peak resident set during the
call minus the resident set just before it.
"""

import contextlib
import hashlib
import io
import json
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import threading
import time

from clock import Clock, cpu_seconds, time_output_writes


def _status_kib(field):
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise RuntimeError("no %s in /proc/self/status" % field)


def reset_peak_memory():
    """Starts a new high-water mark of the resident set (Linux 4.0+)."""
    with open("/proc/self/clear_refs", "w") as clear_refs:
        clear_refs.write("5")


def measure_call(call):
    """Runs ``call()`` and returns (cpu s, wall s, peak growth bytes)."""
    reset_peak_memory()
    rss_before = _status_kib("VmRSS")
    cpu, wall = cpu_seconds(), time.perf_counter()
    call()
    cpu, wall = cpu_seconds() - cpu, time.perf_counter() - wall
    peak = _status_kib("VmHWM")
    return cpu, wall, (peak - rss_before) * 1024


def limit(path):
    """L = 2 x SHA-256 + 1 copy of the file, each the median of five runs."""
    with open(path, "rb") as source:
        data = source.read()

    def timed(work):
        runs = []
        for _ in range(5):
            start = cpu_seconds()
            work()
            runs.append(cpu_seconds() - start)
        return statistics.median(runs)

    sha256 = timed(lambda: hashlib.sha256(data).digest())
    copy = timed(lambda: bytearray(data))
    return {"size": len(data), "sha256": sha256, "copy": copy, "limit": 2 * sha256 + copy,
            "open": qpdf_open(path)}


def qpdf_open(path):
    """CPU time of `qpdf --show-npages` on the file (median of five): what
    opening the document costs a C++ reader that parses only what it needs."""
    runs = []
    for _ in range(5):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        subprocess.run(["qpdf", "--show-npages", path], stdout=subprocess.DEVNULL, check=True)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        runs.append(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
    return statistics.median(runs)


def _client_modules(sandbox):
    import CorvaneSDK.sign as sign
    import CorvaneSDK.timestamp as timestamp
    for module in (sign, timestamp):
        module.CRVN_DOMAIN_URL = sandbox["url"]
        module.DUMMY_HTTP_TS = sandbox["open_tsa_url"]
    return sign, timestamp


def _check_output(path, printed, expected_lines):
    lines = printed.getvalue().splitlines()
    if lines != expected_lines:
        raise SystemExit("the client printed %r instead of %r" % (lines, expected_lines))
    if not os.path.getsize(path):
        raise SystemExit("the client wrote no output")


def sign(path, warmup, sandbox):
    sign_module, _ = _client_modules(sandbox)
    from CorvaneSDK.CorvaneSign.corvane_signature.sign.post_sign import PostSignInstructions
    from CorvaneSDK.CorvaneSign.corvane_signature.sign.prepared_output import PreparedOutput

    clock = Clock()
    arguments = (sandbox["api_token"], sandbox["tenant_id"], "rsa", sandbox["user_id"])
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, "signed.pdf")
        printed = io.StringIO()
        with contextlib.redirect_stdout(printed):
            sign_module.sign_test(warmup, out, *arguments)
        _check_output(out, printed, [])

        sign_module.prep_document = clock.coroutine_function(sign_module.prep_document, "preparation")
        sign_module.proceed_with_signing = clock.coroutine_function(sign_module.proceed_with_signing,
                                                                    "completion")
        clock.method(PostSignInstructions, "append_validation_info", "ltv")
        clock.method(PostSignInstructions, "append_archival_timestamp", "doc_timestamp")
        # The prepared document is copied and digested when its digest is first read.
        clock.plain_method(PreparedOutput, "_make", "digest")
        time_output_writes(clock)
        os.unlink(out)
        with contextlib.redirect_stdout(printed):
            cpu, wall, peak = measure_call(lambda: sign_module.sign_test(path, out, *arguments))
        _check_output(out, printed, [])
        output_size = os.path.getsize(out)
    return {"cpu": cpu, "wall": wall, "peak_growth": peak, "output_size": output_size,
            "phases": clock.spans}


def timestamp(path, warmup, sandbox):
    _, timestamp_module = _client_modules(sandbox)
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, "stamped.pdf")
        printed = io.StringIO()
        with contextlib.redirect_stdout(printed):
            timestamp_module.timestamp_test(warmup, out, None, None)
        _check_output(out, printed, ["Done"])
        os.unlink(out)
        printed = io.StringIO()
        with contextlib.redirect_stdout(printed):
            cpu, wall, peak = measure_call(lambda: timestamp_module.timestamp_test(path, out, None, None))
        _check_output(out, printed, ["Done"])
        output_size = os.path.getsize(out)
    return {"cpu": cpu, "wall": wall, "peak_growth": peak, "output_size": output_size}


def verify(path):
    """`corvane verify`'s work on the file (no trust anchors: trust stays
    undecided, every other check runs); peak is the process's whole resident set."""
    from CorvaneSDK.verification import verify_pdf
    rss_before = _status_kib("VmRSS") * 1024
    report = {}

    def run():
        with open(path, "rb") as document:
            report.update(verify_pdf(document, file_name=path))

    cpu, wall, growth = measure_call(run)
    digests = [entry["digest_valid"] for entry in report["signatures"]]
    if not digests or not all(digests):
        raise SystemExit("verify found no intact signature: %r" % digests)
    return {"cpu": cpu, "wall": wall, "peak_growth": growth, "peak": rss_before + growth,
            "signatures": len(digests), "revisions": report["revisions"]}


def threads(paths, warmup, sandbox):
    """Wall time of signing the files one after the other, then each in a
    thread of its own at the same time (after a warm-up signing)."""
    sign_module, _ = _client_modules(sandbox)
    arguments = (sandbox["api_token"], sandbox["tenant_id"], "rsa", sandbox["user_id"])
    with tempfile.TemporaryDirectory() as folder:
        outs = [os.path.join(folder, "signed-%d.pdf" % i) for i in range(len(paths))]
        failures = []

        def sign_one(path, out):
            try:
                sign_module.sign_test(path, out, *arguments)
            except BaseException as error:  # reported below, from the main thread
                failures.append(error)

        with contextlib.redirect_stdout(io.StringIO()):
            sign_one(warmup, outs[0])
            start = time.perf_counter()
            for path, out in zip(paths, outs):
                sign_one(path, out)
            serial = time.perf_counter() - start
            workers = [threading.Thread(target=sign_one, args=pair) for pair in zip(paths, outs)]
            start = time.perf_counter()
            for worker in workers:
                worker.start()
            for worker in workers:
                worker.join()
            parallel = time.perf_counter() - start
        if failures:
            raise SystemExit("a signing failed: %r" % failures[0])
        if not all(os.path.getsize(out) for out in outs):
            raise SystemExit("a signing wrote no output")
    return {"serial": serial, "threads": parallel, "ratio": parallel / serial}


def main(argv):
    kind, path = argv[0], argv[1]
    if kind == "threads":
        result = threads(argv[1:3], argv[3], json.loads(argv[4]))
    elif kind == "limit":
        result = limit(path)
    elif kind == "verify":
        result = verify(path)
    else:
        warmup, sandbox = argv[2], json.loads(argv[3])
        result = {"sign": sign, "timestamp": timestamp}[kind](path, warmup, sandbox)
    sys.stdout.write(json.dumps(result) + "\n")


if __name__ == "__main__":
    main(sys.argv[1:])
