"""Independent judges of signed PDFs: qpdf, poppler's pdfsig and openssl,
run as subprocesses on files written to a temporary folder."""

import json
import os
import re
import subprocess
import tempfile


def _run(arguments, **kwargs):
    return subprocess.run(arguments, capture_output=True, text=True, **kwargs)


def _with_file(data, action, name="doc.pdf"):
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, name)
        with open(path, "wb") as stream:
            stream.write(data)
        return action(path, folder)


def qpdf_check(data):
    """qpdf --check's verdict: (clean, output)."""
    result = _with_file(data, lambda path, _: _run(["qpdf", "--check", path]))
    clean = result.returncode == 0 and "No syntax or stream encoding errors" in result.stdout
    return clean, result.stdout + result.stderr


def qpdf_objects(data):
    """{"obj:N G R": value} of the document as qpdf's JSON shows it."""
    result = _with_file(data, lambda path, _: _run(["qpdf", "--json=2", "--json-key=qpdf", path]))
    assert result.returncode in (0, 3), result.stderr
    return json.loads(result.stdout)["qpdf"][1]


def pdfsig(data):
    """One dict per signature pdfsig lists: field, validation, ranges, total."""
    result = _with_file(data, lambda path, _: _run(["pdfsig", path]))
    signatures = []
    for block in re.split(r"^Signature #\d+:\n", result.stdout, flags=re.M)[1:]:
        fields = dict(re.findall(r"^ +- ([^:\n]+): (.*)$", block, flags=re.M))
        signatures.append({"field": fields.get("Signature Field Name"),
                           "validation": fields.get("Signature Validation"),
                           "type": fields.get("Signature Type"),
                           "signer": fields.get("Signer Certificate Common Name"),
                           "total": "Total document signed" in block})
    return signatures


def der_length(data):
    """Length of the DER value at the start of ``data`` (the rest is padding)."""
    length = data[1]
    if length < 0x80:
        return 2 + length
    count = length & 0x7F
    return 2 + count + int.from_bytes(data[2:2 + count], "big")


def signature_contents(data, byte_range):
    """The DER container in the /Contents that ``byte_range`` leaves out."""
    hex_digits = data[byte_range[1] + 1:byte_range[2] - 1]
    raw = bytes.fromhex(hex_digits.decode("ascii"))
    return raw[:der_length(raw)]


def covered_bytes(data, byte_range):
    return b"".join(data[byte_range[i]:byte_range[i] + byte_range[i + 1]]
                    for i in range(0, len(byte_range), 2))


def openssl_cms_verify(container, content, root_pem):
    def verify(path, folder):
        content_path = os.path.join(folder, "content.bin")
        with open(content_path, "wb") as stream:
            stream.write(content)
        return _run(["openssl", "cms", "-verify", "-binary", "-inform", "DER", "-in", path,
                     "-content", content_path, "-CAfile", root_pem, "-purpose", "any",
                     "-out", os.devnull])
    result = _with_file(container, verify, "container.der")
    return result.returncode == 0, result.stderr


def openssl_ts_verify(token, root_pem, data=None, digest=None):
    def verify(path, folder):
        arguments = ["openssl", "ts", "-verify", "-in", path, "-token_in", "-CAfile", root_pem]
        if data is not None:
            data_path = os.path.join(folder, "data.bin")
            with open(data_path, "wb") as stream:
                stream.write(data)
            arguments += ["-data", data_path]
        else:
            arguments += ["-digest", digest.hex()]
        return _run(arguments)
    result = _with_file(token, verify, "token.der")
    return result.returncode == 0 and "Verification: OK" in result.stdout, result.stdout + result.stderr


def qpdf_encrypt(data, user_password=""):
    def encrypt(path, folder):
        target = os.path.join(folder, "encrypted.pdf")
        result = _run(["qpdf", "--encrypt", user_password, "owner", "256", "--", path, target])
        assert result.returncode in (0, 3), result.stderr
        with open(target, "rb") as stream:
            return stream.read()
    return _with_file(data, encrypt)
