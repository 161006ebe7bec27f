"""Text formats used in signatures."""

import datetime
from typing import Optional

__all__ = ["format_date", "pdf_date"]


def _local_now() -> datetime.datetime:
    return datetime.datetime.now().astimezone()


def format_date() -> str:
    """The current local date and time, e.g. "2026-12-08 14:03:21 +0100"."""
    return _local_now().strftime("%Y-%m-%d %H:%M:%S %z")


def pdf_date(moment: Optional[datetime.datetime] = None) -> str:
    """A PDF date string such as "D:20261208140321+01'00'" (local time when no moment is given)."""
    moment = _local_now() if moment is None else moment.astimezone()
    offset = moment.strftime("%z")  # "+0100"
    return "D:%s%s%s'%s'" % (moment.strftime("%Y%m%d%H%M%S"), offset[0], offset[1:3], offset[3:5])
