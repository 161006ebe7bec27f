"""External signer: a CMS signer whose signature value was made elsewhere."""

__all__ = ["ExternalSigner"]


class ExternalSigner:
    def __init__(self, *args, **kwargs):
        raise NotImplementedError("ExternalSigner is not built yet")
