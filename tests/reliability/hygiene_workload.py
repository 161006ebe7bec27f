"""Run by test_resource_hygiene.py in a process of its own: signs and
timestamps one document over and over against a sandbox given on the
command line, and reports open descriptors and resident memory as JSON
after every batch.

    python hygiene_workload.py URL TENANT TOKEN FOLDER ROUNDS BATCH
"""

import gc
import json
import os
import sys

import CorvaneSDK.sign as sign
import CorvaneSDK.timestamp as timestamp


def open_descriptors():
    return len(os.listdir("/proc/self/fd"))


def resident_bytes():
    with open("/proc/self/statm") as stream:
        return int(stream.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def main(url, tenant, token, folder, rounds, batch):
    for module in (sign, timestamp):
        module.CRVN_DOMAIN_URL = url
        module.DUMMY_HTTP_TS = url + "/TSS/RFC3161sha2TS"
    source = os.path.join(folder, "in.pdf")
    signed, stamped = os.path.join(folder, "signed.pdf"), os.path.join(folder, "stamped.pdf")
    samples = []
    for done in range(1, int(rounds) + 1):
        sign.sign_crvn(source, signed, token, tenant, "rsa")
        timestamp.timestamp_crvn(signed if done % 2 else source, stamped, token, tenant)
        if done % int(batch) == 0:
            gc.collect()
            samples.append({"done": done, "fds": open_descriptors(), "rss": resident_bytes()})
    json.dump(samples, sys.stderr)


if __name__ == "__main__":
    main(*sys.argv[1:])
