"""Incremental updates of an existing PDF document."""

__all__ = ["IncrementalPdfFileWriter"]


class IncrementalPdfFileWriter:
    def __init__(self, *args, **kwargs):
        raise NotImplementedError("IncrementalPdfFileWriter is not built yet")
