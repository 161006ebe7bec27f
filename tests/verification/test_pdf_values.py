"""Signing times claimed in /M, read from the engine's JSON strings."""

import datetime

import pytest

from CorvaneSDK.verification.pdf_values import pdf_date, text

UTC = datetime.timezone.utc


@pytest.mark.parametrize("value, expected", [
    ("u:D:20261208140321+01'00'", datetime.datetime(2026, 12, 8, 13, 3, 21, tzinfo=UTC)),
    ("u:D:20261208140321-05'30", datetime.datetime(2026, 12, 8, 19, 33, 21, tzinfo=UTC)),
    ("u:D:20261208140321Z", datetime.datetime(2026, 12, 8, 14, 3, 21, tzinfo=UTC)),
    ("u:D:2026120814", datetime.datetime(2026, 12, 8, 14, 0, 0, tzinfo=UTC)),
    ("b:443a3230323631323038", datetime.datetime(2026, 12, 8, tzinfo=UTC)),
    ("u:D:20261308140321Z", None),
    ("u:yesterday", None),
    ("/Name", None),
    (None, None),
])
def test_pdf_dates(value, expected):
    assert pdf_date(value) == expected


def test_text_strings_in_pdfdoc_and_utf16():
    assert text("u:Zoë") == "Zoë"
    assert text("b:feff005a00eb") == "Zë"
    assert text("b:zz") is None and text(42) is None
