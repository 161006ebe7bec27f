"""How long the Client's coroutine faces keep a web handler's event loop waiting.

    python bench/client_loop.py [--signings N] [--rounds R]

With the sandbox in a process of its own, a 10 ms ticker runs on the event
loop while N signings (B-LTA) of a 100-page document are awaited together, through sign_async and,
for comparison, through the blocking sign in the loop's default executor
(plain worker threads without turns). Prints, per way, the worst and the
99th-percentile lateness of the ticker and the wall time of the N signings,
the median over R rounds.
"""

import argparse
import asyncio
import os
import statistics
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from inputs import make_input  # noqa: E402
from sandbox_process import SandboxProcess  # noqa: E402


async def _round(start_signings):
    late = []
    done = asyncio.Event()

    async def ticker():
        while not done.is_set():
            before = time.monotonic()
            await asyncio.sleep(0.01)
            late.append(time.monotonic() - before - 0.01)

    tick = asyncio.ensure_future(ticker())
    started = time.monotonic()
    await asyncio.gather(*start_signings())
    wall = time.monotonic() - started
    done.set()
    await tick
    late.sort()
    return late[-1], late[int(len(late) * 0.99)], wall


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--signings", type=int, default=4)
    parser.add_argument("--rounds", type=int, default=5)
    arguments = parser.parse_args()
    from CorvaneSDK import Client

    with SandboxProcess() as sandbox:
        client = Client(sandbox.url, sandbox.api_token, sandbox.tenant_id)
        with tempfile.TemporaryDirectory() as folder:
            with open(make_input(folder, "100-page-text", False), "rb") as handle:
                pdf = handle.read()
        ways = {
            "sign_async": lambda: [client.sign_async(pdf) for _ in range(arguments.signings)],
            "sign in executor": lambda: [asyncio.get_running_loop().run_in_executor(None, client.sign, pdf)
                                         for _ in range(arguments.signings)],
        }
        print("%-18s %10s %10s %8s" % ("way", "worst ms", "p99 ms", "wall s"))
        for name, start in ways.items():
            rounds = [asyncio.run(_round(start)) for _ in range(arguments.rounds)]
            worst, p99, wall = (statistics.median(values) for values in zip(*rounds))
            print("%-18s %10.1f %10.1f %8.2f" % (name, worst * 1000, p99 * 1000, wall))
    print("load average %.1f on %d cores" % (os.getloadavg()[0], os.cpu_count() or 1))


if __name__ == "__main__":
    main()
