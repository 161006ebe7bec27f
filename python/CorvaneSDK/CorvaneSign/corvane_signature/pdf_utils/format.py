"""Text formats used in signatures."""

__all__ = ["format_date"]


def format_date():
    raise NotImplementedError("format_date is not built yet")
