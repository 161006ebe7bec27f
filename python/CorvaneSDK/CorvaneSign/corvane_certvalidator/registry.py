"""Certificate stores."""

__all__ = ["SimpleCertificateStore"]


class SimpleCertificateStore:
    def __init__(self, *args, **kwargs):
        raise NotImplementedError("SimpleCertificateStore is not built yet")
