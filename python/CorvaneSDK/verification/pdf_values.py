"""PDF values as the engine reports them: qpdf's JSON, where an indirect
reference is the text "N G R", a name starts with "/", and a string is
"u:<text>" or "b:<hex>"."""

import datetime
import re
from typing import Any, List, Optional, Tuple

__all__ = ["reference", "text", "pdf_date", "references_in"]

_REFERENCE = re.compile(r"^(\d+) (\d+) R$")
_PDF_DATE = re.compile(
    r"^(?:D:)?(\d{4})(\d{2})?(\d{2})?(\d{2})?(\d{2})?(\d{2})?(?:([Zz+-])(?:(\d{2})'?(\d{2})?'?)?)?$")


def reference(value: Any) -> Optional[Tuple[int, int]]:
    """``(number, generation)`` when ``value`` is an indirect reference, else None."""
    if isinstance(value, str):
        match = _REFERENCE.match(value)
        if match:
            return int(match.group(1)), int(match.group(2))
    return None


def references_in(value: Any) -> List[Tuple[int, int]]:
    """Every indirect reference in ``value`` (a direct array or dictionary is searched through)."""
    found = []
    pending = [value]
    while pending:
        item = pending.pop()
        if isinstance(item, dict):
            pending.extend(item.values())
        elif isinstance(item, list):
            pending.extend(item)
        else:
            ref = reference(item)
            if ref is not None:
                found.append(ref)
    return found


def text(value: Any) -> Optional[str]:
    """The text of a PDF string value, or None when ``value`` is not a string."""
    if not isinstance(value, str):
        return None
    if value.startswith("u:"):
        return value[2:]
    if value.startswith("b:"):
        try:
            raw = bytes.fromhex(value[2:])
        except ValueError:
            return None
        if raw.startswith(b"\xfe\xff"):
            return raw[2:].decode("utf-16-be", "replace")
        return raw.decode("latin-1")
    return None


def pdf_date(value: Any) -> Optional[datetime.datetime]:
    """A PDF date string ("D:YYYYMMDDHHmmSS+HH'mm'") as an aware datetime, or None.

    A date without a zone is taken as UTC, as no better guess exists.
    """
    date_text = text(value)
    if date_text is None:
        return None
    match = _PDF_DATE.match(date_text.strip())
    if not match:
        return None
    year, month, day, hour, minute, second, sign, zone_hours, zone_minutes = match.groups()
    zone = datetime.timezone.utc
    if sign in ("+", "-"):
        offset = datetime.timedelta(hours=int(zone_hours or 0), minutes=int(zone_minutes or 0))
        zone = datetime.timezone(offset if sign == "+" else -offset)
    try:
        return datetime.datetime(int(year), int(month or 1), int(day or 1), int(hour or 0),
                                 int(minute or 0), int(second or 0), tzinfo=zone)
    except ValueError:
        return None
