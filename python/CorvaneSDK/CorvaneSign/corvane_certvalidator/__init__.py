"""Certificate path building and revocation data for long-term validation."""

__all__ = ["ValidationContext"]


class ValidationContext:
    def __init__(self, *args, **kwargs):
        raise NotImplementedError("ValidationContext is not built yet")
