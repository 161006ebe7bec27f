"""Verification cost against the machine's limit.

    python bench/verify.py [--inputs DIR] [--only NAME ...]

Signs each input once through the sandbox (kept as NAME-signed.pdf beside
the inputs), then measures verification of the signed file in fresh child
processes (bench/measure.py verify; the run of median CPU time reported)
against L = 2 x SHA-256 + 1 copy of the file.  Goals: peak memory of the
whole process <= 0.1 x file + 96 MB, CPU time <= 3 x L.  Prints one line
per input and the results as JSON.
"""

import argparse
import contextlib
import io
import json
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from inputs import INPUTS, make_input  # noqa: E402
from sandbox_process import SandboxProcess  # noqa: E402

RUNS = 3
MB = 1 << 20


def _measure(*arguments):
    done = subprocess.run([sys.executable, os.path.join(HERE, "measure.py")] + list(arguments),
                          stdout=subprocess.PIPE, check=True, text=True)
    return json.loads(done.stdout.splitlines()[-1])


def _signed(path, sandbox):
    signed = path[:-len(".pdf")] + "-signed.pdf"
    if os.path.exists(signed):
        return signed
    import CorvaneSDK.sign as sign
    import CorvaneSDK.timestamp as timestamp
    for module in (sign, timestamp):
        module.CRVN_DOMAIN_URL = sandbox.url
        module.DUMMY_HTTP_TS = sandbox.open_tsa_url
    with contextlib.redirect_stdout(io.StringIO()):
        sign.sign_test(path, signed + ".part", sandbox.api_token, sandbox.tenant_id, "rsa", sandbox.user_id)
    os.replace(signed + ".part", signed)
    return signed


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.strip().splitlines()[0])
    parser.add_argument("--inputs", default=os.path.join(HERE, "results", "inputs"),
                        help="folder for the generated inputs, reused between runs")
    parser.add_argument("--only", nargs="+", choices=sorted(INPUTS), default=["200MB-images"],
                        help="inputs to measure (default: 200MB-images)")
    args = parser.parse_args(argv)
    os.makedirs(args.inputs, exist_ok=True)
    with SandboxProcess() as sandbox:
        signed = [_signed(make_input(args.inputs, name, False), sandbox) for name in args.only]
    rows = []
    for name, path in zip(args.only, signed):
        limit = _measure("limit", path)
        runs = sorted((_measure("verify", path) for _ in range(RUNS)), key=lambda run: run["cpu"])
        run = dict(runs[len(runs) // 2])
        run["peak"] = max(each["peak"] for each in runs)
        size = limit["size"]
        memory_goal, time_goal = 0.1 * size + 96 * MB, 3 * limit["limit"]
        rows.append({"input": name, "size": size, "limit": limit["limit"], "verify": run,
                     "memory_goal": memory_goal, "time_goal": time_goal})
        print("%-14s %7.1f MB  verify %.2f s CPU (%.2f s wall; goal <= %.2f s = 3 L) %s;  peak %.0f MB "
              "(goal <= %.0f MB) %s" % (
                  name, size / MB, run["cpu"], run["wall"], time_goal,
                  "met" if run["cpu"] <= time_goal else "MISSED", run["peak"] / MB, memory_goal / MB,
                  "met" if run["peak"] <= memory_goal else "MISSED"))
    json.dump(rows, sys.stdout, indent=2)
    sys.stdout.write("\n")


if __name__ == "__main__":
    main()
