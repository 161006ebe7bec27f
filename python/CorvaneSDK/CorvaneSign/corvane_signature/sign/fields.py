"""Signature fields and their settings."""

__all__ = ["SigSeedSubFilter"]


class SigSeedSubFilter:
    def __init__(self, *args, **kwargs):
        raise NotImplementedError("SigSeedSubFilter is not built yet")
