"""Stand-ins bound on the client modules to observe exactly what they call."""

import asyncio
import types


class Calls(list):
    """Records (name, args, kwargs-as-ordered-items) in call order."""

    def add(self, name, args, kwargs):
        self.append((name, tuple(args), list(kwargs.items())))

    def names(self):
        return [name for name, _, _ in self]

    def named(self, name):
        return [(args, kwargs) for n, args, kwargs in self if n == name]


class FakeResponse:
    def __init__(self, status_code=200, payload=None, text="", json_error=None):
        self.status_code = status_code
        self._payload = payload
        self.text = text
        self._json_error = json_error

    def json(self):
        if self._json_error is not None:
            raise self._json_error
        return self._payload


class FakeRequests:
    """A replacement for the module's `requests`: answers posts in order."""

    def __init__(self, *responses):
        self.responses = list(responses)
        self.posts = []

    def post(self, *args, **kwargs):
        self.posts.append((args, kwargs))
        answer = self.responses.pop(0)
        if isinstance(answer, BaseException):
            raise answer
        return answer


def envelope(result, **extra):
    return FakeResponse(200, dict(result=result, **extra), text="{...}")


class FakeLibrary:
    """The signature library's classes, recording every call into `calls`."""

    PADES = "/ETSI.CAdES.detached"

    def __init__(self, digest=b"\x11" * 32):
        self.calls = calls = Calls()
        self.prepared_digest = types.SimpleNamespace(document_digest=digest)
        self.output = None
        self.tbs = types.SimpleNamespace(post_sign_instructions="PSI")
        library = self

        class ExternalSigner:
            def __init__(self, *args, **kwargs):
                calls.add("ExternalSigner", args, kwargs)

            async def signed_attrs(self, *args, **kwargs):
                calls.add("signed_attrs", args, kwargs)
                await asyncio.sleep(0)
                return "SIGNED-ATTRS"

            async def async_sign_prescribed_attributes(self, *args, **kwargs):
                calls.add("async_sign_prescribed_attributes", args, kwargs)
                await asyncio.sleep(0)
                return "SIG-CMS"

        class PdfSignatureMetadata:
            def __init__(self, *args, **kwargs):
                calls.add("PdfSignatureMetadata", args, kwargs)

        class PdfSigner:
            def __init__(self, *args, **kwargs):
                calls.add("PdfSigner", args, kwargs)

            async def async_digest_doc_for_signing(self, *args, **kwargs):
                calls.add("async_digest_doc_for_signing", args, kwargs)
                await asyncio.sleep(0)
                return library.digest_result()

        class PdfTimeStamper:
            def __init__(self, *args, **kwargs):
                calls.add("PdfTimeStamper", args, kwargs)

            def timestamp_pdf(self, *args, **kwargs):
                calls.add("timestamp_pdf", args, kwargs)
                return library.timestamp_pdf(**kwargs)

        class HTTPTimeStamper:
            def __init__(self, *args, **kwargs):
                calls.add("HTTPTimeStamper", args, kwargs)

        class PdfTBSDocument:
            @staticmethod
            async def async_finish_signing(*args, **kwargs):
                calls.add("async_finish_signing", args, kwargs)
                await asyncio.sleep(0)
                return "finished"

        def recorder(name, result=None):
            def record(*args, **kwargs):
                calls.add(name, args, kwargs)
                return result if result is not None else name
            return record

        self.signers = types.SimpleNamespace(
            ExternalSigner=ExternalSigner, PdfSignatureMetadata=PdfSignatureMetadata,
            PdfSigner=PdfSigner, PdfTimeStamper=PdfTimeStamper, DEFAULT_MD="sha256")
        self.fields = types.SimpleNamespace(SigSeedSubFilter=types.SimpleNamespace(PADES=self.PADES))
        self.timestamps = types.SimpleNamespace(HTTPTimeStamper=HTTPTimeStamper)
        self.globals = {
            "signers": self.signers,
            "fields": self.fields,
            "timestamps": self.timestamps,
            "PdfTBSDocument": PdfTBSDocument,
            "DSSContentSettings": recorder("DSSContentSettings"),
            "IncrementalPdfFileWriter": recorder("IncrementalPdfFileWriter"),
            "ValidationContext": recorder("ValidationContext"),
            "SimpleCertificateStore": recorder("SimpleCertificateStore"),
            "HTTPBasicAuth": recorder("HTTPBasicAuth"),
            "open": recorder("open"),
        }

    def digest_result(self):
        return (self.prepared_digest, self.tbs, self.output)

    def timestamp_pdf(self, output, **_):
        output.write(b"%PDF-timestamped")

    def install(self, monkeypatch, module):
        for name, value in self.globals.items():
            monkeypatch.setattr(module, name, value, raising=False)
