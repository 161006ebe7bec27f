"""The sandbox in a process of its own, so that its CPU time never counts
as the client's."""

import re
import subprocess
import sys

__all__ = ["SandboxProcess"]

_URL = re.compile(r"running at (\S+)")
_TENANT = re.compile(r"^\s+tenant id\s+(\S+)")
_TOKEN = re.compile(r"^\s+API token\s+(\S+)")
_USER = re.compile(r"^\s+(u-\S+)\s")
_OPEN_TSA = re.compile(r"^\s+open timestamp\s+(\S+)")


class SandboxProcess:
    """``python -m CorvaneSDK.sandbox --port 0`` as a child process; its
    address, tenant, token and first user are read from what it prints."""

    def __init__(self, python=sys.executable):
        self.python = python
        self.process = None
        self.url = self.tenant_id = self.api_token = self.user_id = self.open_tsa_url = None

    def __enter__(self):
        self.process = subprocess.Popen([self.python, "-m", "CorvaneSDK.sandbox", "--port", "0"],
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        for line in self.process.stdout:
            for pattern, name in ((_URL, "url"), (_TENANT, "tenant_id"), (_TOKEN, "api_token"),
                                  (_USER, "user_id"), (_OPEN_TSA, "open_tsa_url")):
                found = pattern.search(line)
                if found and getattr(self, name) is None:
                    setattr(self, name, found.group(1))
            if line.startswith("Press Ctrl-C"):
                break
        if None in (self.url, self.tenant_id, self.api_token, self.user_id, self.open_tsa_url):
            self.__exit__(None, None, None)
            raise RuntimeError("the sandbox did not start (exit status %s)" % self.process.poll())
        return self

    def __exit__(self, *_exc):
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()

    def settings(self):
        """What a measuring child needs to reach the sandbox."""
        return {"url": self.url, "tenant_id": self.tenant_id, "api_token": self.api_token,
                "user_id": self.user_id, "open_tsa_url": self.open_tsa_url}
