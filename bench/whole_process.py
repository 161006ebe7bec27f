"""What a fresh process pays: the import of the signing modules, and a whole
`corvane sign --test` of one file against the sandbox (another process).

    python bench/whole_process.py [PDF]

Prints, as JSON, the median of five runs of each: the cumulative import time
of ``CorvaneSDK.sign`` (the fixed module) and of ``CorvaneSDK.client`` (what
the command loads) as ``python -X importtime`` reports it, and the wall and
CPU (user + system) time of a bare interpreter, of ``python -c "import
MODULE"`` for both and of the command. The command's wall time less the
client's import process is what the signing run itself costs, waits included.
The load average is printed beside them: the machine may be shared.
"""

import json
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from inputs import make_input  # noqa: E402
from sandbox_process import SandboxProcess  # noqa: E402

RUNS = 5


def import_time(module):
    """Cumulative microseconds of ``module`` in ``-X importtime`` output."""
    done = subprocess.run([sys.executable, "-X", "importtime", "-c", "import " + module],
                          capture_output=True, text=True, check=True)
    for line in reversed(done.stderr.splitlines()):
        fields = [field.strip() for field in line.split("|")]
        if len(fields) == 3 and fields[2] == module:
            return int(fields[1]) / 1e6
    raise RuntimeError("no import time reported for %s" % module)


def run(command, env=None):
    """(wall seconds, CPU seconds: user + system) of ``command`` as a child process."""
    before, start = resource.getrusage(resource.RUSAGE_CHILDREN), time.perf_counter()
    subprocess.run(command, check=True, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime


def medians(command, env=None):
    runs = [run(command, env) for _ in range(RUNS)]
    return {"wall": statistics.median(wall for wall, _ in runs),
            "cpu": statistics.median(cpu for _, cpu in runs)}


def main(argv):
    path = argv[0] if argv else make_input(os.path.join(HERE, "results", "inputs"), "1-page", False)
    load_before = os.getloadavg()
    result = {
        "import_sign": statistics.median(import_time("CorvaneSDK.sign") for _ in range(RUNS)),
        "bare_interpreter": medians([sys.executable, "-c", "pass"]),
        "import_sign_process": medians([sys.executable, "-c", "import CorvaneSDK.sign"]),
        "import_client": statistics.median(import_time("CorvaneSDK.client") for _ in range(RUNS)),
        "import_client_process": medians([sys.executable, "-c", "import CorvaneSDK.client"]),
    }
    with SandboxProcess() as sandbox, tempfile.TemporaryDirectory() as folder:
        env = dict(os.environ, CORVANE_API_TOKEN=sandbox.api_token)
        command = [sys.executable, "-m", "CorvaneSDK", "sign", path, os.path.join(folder, "out.pdf"),
                   "--tenant", sandbox.tenant_id, "--pki", "rsa", "--user-id", sandbox.user_id, "--test",
                   "--service-url", sandbox.url, "--test-tsa-url", sandbox.open_tsa_url]
        run(command, env)  # the first run fills the page cache
        result["sign_command"] = medians(command, env)
    result["load_average"] = [load_before, os.getloadavg()]
    print(json.dumps(result))


if __name__ == "__main__":
    main(sys.argv[1:])
