"""Signing PDF documents: layout, digest, embedding and post-sign work."""

__all__ = ["PdfSignatureMetadata", "PdfSigner", "PdfTimeStamper", "PdfTBSDocument",
           "DSSContentSettings"]


class _NotBuilt:
    def __init__(self, *args, **kwargs):
        raise NotImplementedError("%s is not built yet" % type(self).__name__)


class PdfSignatureMetadata(_NotBuilt):
    pass


class PdfSigner(_NotBuilt):
    pass


class PdfTimeStamper(_NotBuilt):
    pass


class PdfTBSDocument(_NotBuilt):
    pass


class DSSContentSettings(_NotBuilt):
    pass
