"""Signing and timestamping cost against the machine's limit.

    python bench/run.py [--inputs DIR] [--only NAME ...] [--out FILE.json]

Generates the inputs (bench/inputs.py, classic xref and xref streams),
starts the sandbox in a process of its own, and measures each input in fresh
child processes (bench/measure.py): the limit L = 2 x SHA-256 + 1 copy of the
file, then sign_test and timestamp_test (five processes each, the run of
median CPU time reported) with their client CPU time, wall time, phase
times and peak memory growth; with the 50 MB inputs, also the wall time of
signing both at once in two threads against one after the other (median
of five processes).  Prints the table and the goals,
and writes everything as JSON (default bench/results/<date>.json).
"""

import argparse
import datetime
import json
import os
import platform
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from inputs import INPUTS, make_input  # noqa: E402
from sandbox_process import SandboxProcess  # noqa: E402
from table import goals, table  # noqa: E402


RUNS = 5


def _measure(kind, *arguments):
    done = subprocess.run([sys.executable, os.path.join(HERE, "measure.py"), kind] + list(arguments),
                          stdout=subprocess.PIPE, check=True, text=True)
    return json.loads(done.stdout.splitlines()[-1])


def _median_run(kind, *arguments):
    """The run of median CPU time among RUNS fresh processes (the machine's
    page-cache and first-touch costs vary from run to run), with every run's
    CPU time and the largest peak memory growth."""
    runs = sorted((_measure(kind, *arguments) for _ in range(RUNS)), key=lambda run: run["cpu"])
    median = dict(runs[len(runs) // 2])
    median["cpu_runs"] = [run["cpu"] for run in runs]
    median["peak_growth"] = max(run["peak_growth"] for run in runs)
    return median


def _threads_run(paths, warmup, settings):
    """The run of median ratio among RUNS fresh processes signing ``paths``
    in two threads and one after the other."""
    runs = sorted((_measure("threads", paths[0], paths[1], warmup, settings) for _ in range(RUNS)),
                  key=lambda run: run["ratio"])
    median = dict(runs[len(runs) // 2])
    median["ratio_runs"] = [run["ratio"] for run in runs]
    return median


def _parse_args(argv):
    parser = argparse.ArgumentParser(description=__doc__.strip().splitlines()[0])
    parser.add_argument("--inputs", default=os.path.join(HERE, "results", "inputs"),
                        help="folder for the generated inputs, reused between runs")
    parser.add_argument("--only", nargs="+", choices=sorted(INPUTS), help="measure only these inputs")
    parser.add_argument("--out", help="JSON file to write (default bench/results/<date>.json)")
    return parser.parse_args(argv)


def main(argv=None):
    args = _parse_args(argv)
    started = time.monotonic()
    os.makedirs(args.inputs, exist_ok=True)
    names = [name for name in INPUTS if not args.only or name in args.only]
    paths = [("%s %s" % (name, kind), make_input(args.inputs, name, kind == "xrefstream"))
             for name in names for kind in ("classic", "xrefstream")]
    warmup = make_input(args.inputs, "1-page", False)
    load_before = os.getloadavg()
    rows = []
    threads = None
    with SandboxProcess() as sandbox:
        settings = json.dumps(sandbox.settings())
        for label, path in paths:
            row = {"input": label, "limit": _measure("limit", path),
                   "sign": _median_run("sign", path, warmup, settings),
                   "timestamp": _median_run("timestamp", path, warmup, settings)}
            rows.append(row)
            print("measured %s" % label, file=sys.stderr, flush=True)
        pair = [path for label, path in paths if label.startswith("50MB-images")]
        if len(pair) == 2:
            threads = _threads_run(pair, warmup, settings)
            print("measured two threads", file=sys.stderr, flush=True)
    report = {
        "date": datetime.datetime.now(datetime.timezone.utc).isoformat(timespec="seconds"),
        "python": platform.python_version(), "machine": platform.machine(), "cpus": os.cpu_count(),
        "load_before": load_before, "load_after": os.getloadavg(),
        "seconds": time.monotonic() - started, "rows": rows, "threads": threads,
        "goals": [{"goal": goal, "measured": measured, "met": met} for goal, measured, met in goals(rows, threads)],
    }
    print(table(rows))
    if threads is not None:
        print("\ntwo 50 MB files signed in two threads: %.2f s wall, one after the other: %.2f s (%.2f)"
              % (threads["threads"], threads["serial"], threads["ratio"]))
    print()
    for goal, measured, met in goals(rows, threads):
        print("%-4s %s: %s" % ("ok" if met else "MISS", goal, measured))
    print("\nload average before %.2f, after %.2f; %.0f s"
          % (load_before[0], report["load_after"][0], report["seconds"]))
    out = args.out or os.path.join(HERE, "results", "%s.json" % report["date"].replace(":", "-"))
    os.makedirs(os.path.dirname(out), exist_ok=True)
    with open(out, "w") as handle:
        json.dump(report, handle, indent=1)
    print("written to %s" % out)


if __name__ == "__main__":
    main()
