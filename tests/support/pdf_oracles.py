"""Independent judges of signed PDFs: qpdf, poppler's pdfsig and openssl,
run as subprocesses on files written to a temporary folder."""

import base64
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


def qpdf_objects(data, stream_data=False):
    """{"obj:N G R": value} of the document as qpdf's JSON shows it; with
    ``stream_data`` streams carry their decoded data, Base64, under "data"."""
    arguments = ["qpdf", "--json=2", "--json-key=qpdf"]
    if stream_data:
        arguments += ["--json-stream-data=inline", "--decode-level=generalized"]
    result = _with_file(data, lambda path, _: _run(arguments + [path]))
    assert result.returncode in (0, 3), result.stderr
    return json.loads(result.stdout)["qpdf"][1]


def _qpdf_string(value):
    kind, _, text = value.partition(":")
    return bytes.fromhex(text) if kind == "b" else text.encode("utf-8")


def signature_fields(data):
    """Every signed signature field as qpdf reads it, in file order: dicts of
    field, type, subfilter, byte_range and contents (the whole /Contents string)."""
    objects = qpdf_objects(data)
    found = []
    for value in (item.get("value") for item in objects.values() if isinstance(item, dict)):
        if not isinstance(value, dict) or value.get("/FT") != "/Sig" or "/V" not in value:
            continue
        signature = objects["obj:" + value["/V"]]["value"]
        found.append({"field": _qpdf_string(value["/T"]).decode("utf-8"), "type": signature.get("/Type"),
                      "subfilter": signature.get("/SubFilter"), "byte_range": signature["/ByteRange"],
                      "contents": _qpdf_string(signature["/Contents"])})
    return sorted(found, key=lambda signature: signature["byte_range"][1])


class DocumentSecurityStore:
    """The /DSS of a document's current catalog as qpdf reads it.

    ``refs`` maps /Certs, /OCSPs and /CRLs to their items as qpdf writes them
    ("N 0 R" for a reference); ``vri_refs`` maps each /VRI key to its /Cert,
    /OCSP and /CRL items. ``stream(item)`` is the decoded data of a referenced
    stream, None for anything else.
    """

    KEYS = ("/Certs", "/OCSPs", "/CRLs")

    def __init__(self, data):
        self.objects = qpdf_objects(data, stream_data=True)
        catalog = self._resolve(self.objects["trailer"]["value"]["/Root"])
        self.present = "/DSS" in catalog
        dss = self._resolve(catalog.get("/DSS", {}))
        self.entries = sorted(dss)
        self.refs = {key: list(self._resolve(dss.get(key, []))) for key in self.KEYS}
        vri = self._resolve(dss.get("/VRI", {}))
        self.vri_refs = {key.lstrip("/"): {name: list(self._resolve(items))
                                           for name, items in self._resolve(entry).items()
                                           if name in ("/Cert", "/OCSP", "/CRL")}
                         for key, entry in vri.items()}

    def _resolve(self, value):
        if isinstance(value, str) and value.endswith(" R"):
            return self.objects["obj:" + value]["value"]
        return value

    def stream(self, item):
        found = self.objects.get("obj:%s" % item) if isinstance(item, str) else None
        if not found or "stream" not in found:
            return None
        return base64.b64decode(found["stream"]["data"])

    def data(self, key):
        """Decoded data of every stream under /Certs, /OCSPs or /CRLs."""
        return [self.stream(item) for item in self.refs[key]]

    @property
    def certs(self):
        return self.data("/Certs")

    @property
    def ocsps(self):
        return self.data("/OCSPs")

    @property
    def crls(self):
        return self.data("/CRLs")


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


def _pem(der, label="CERTIFICATE"):
    body = base64.encodebytes(der).decode("ascii")
    return "-----BEGIN %s-----\n%s-----END %s-----\n" % (label, body, label)


def openssl_ocsp_verify(response, ca_file, issuer, cert):
    """openssl ocsp's verdict on a DER ``response`` about ``cert`` (DER) issued
    by ``issuer`` (DER): (verified and "good", output)."""
    def verify(path, folder):
        names = []
        for name, der in (("issuer.pem", issuer), ("cert.pem", cert)):
            names.append(os.path.join(folder, name))
            with open(names[-1], "w") as stream:
                stream.write(_pem(der))
        return _run(["openssl", "ocsp", "-respin", path, "-CAfile", ca_file, "-issuer", names[0],
                     "-cert", names[1], "-no_nonce"])
    result = _with_file(response, verify, "response.der")
    report = result.stdout + result.stderr
    good = result.returncode == 0 and "Response verify OK" in report and ": good" in result.stdout
    return good, report


def openssl_crl_verify(crl, ca_file):
    """openssl crl's verdict on the signature of a DER ``crl``: (verified, output)."""
    result = _with_file(crl, lambda path, _: _run(["openssl", "crl", "-inform", "DER", "-in", path, "-noout",
                                                   "-CAfile", ca_file, "-verify"]))
    report = result.stdout + result.stderr
    return result.returncode == 0 and "verify OK" in report, report
