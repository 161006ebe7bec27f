"""The benchmark's table and its goals, from the measured rows."""

__all__ = ["table", "goals"]

MB = 1024 * 1024

_COLUMNS = [
    # heading, width, value of a row
    ("input", 26, lambda r: r["input"]),
    ("MB", 6, lambda r: "%.1f" % (r["limit"]["size"] / MB)),
    ("L ms", 6, lambda r: "%.0f" % (1000 * r["limit"]["limit"])),
    ("open", 5, lambda r: "%.0f" % (1000 * r["limit"].get("open", 0))),
    ("sign ms", 8, lambda r: "%.0f" % (1000 * r["sign"]["cpu"])),
    ("/L", 5, lambda r: _ratio(r, r["sign"]["cpu"], r["limit"]["limit"])),
    ("wall s", 6, lambda r: "%.2f" % r["sign"]["wall"]),
    ("prep", 5, lambda r: _phase(r, "preparation")),
    ("digest", 6, lambda r: _phase(r, "digest")),
    ("compl", 5, lambda r: _phase(r, "completion")),
    ("ltv", 5, lambda r: _phase(r, "ltv")),
    ("docts", 5, lambda r: _phase(r, "doc_timestamp")),
    ("write", 5, lambda r: _phase(r, "write")),
    ("peak MB", 7, lambda r: _megabytes(r["sign"]["peak_growth"])),
    ("/size", 5, lambda r: _ratio(r, r["sign"]["peak_growth"], r["limit"]["size"])),
    ("ts ms", 6, lambda r: "%.0f" % (1000 * r["timestamp"]["cpu"])),
    ("/(H+C)", 6, lambda r: _ratio(r, r["timestamp"]["cpu"], _hash_and_copy(r))),
    ("wall s", 6, lambda r: "%.2f" % r["timestamp"]["wall"]),
    ("peak MB", 7, lambda r: _megabytes(r["timestamp"]["peak_growth"])),
]


def _megabytes(growth):
    # The resident set may shrink during a small call: no growth then.
    return "%.0f" % (max(growth, 0) / MB)


def _ratio(row, value, base):
    # Against the cost of a file under 10 MB, fixed costs make any ratio meaningless.
    return "%.2f" % (value / base) if row["limit"]["size"] >= 10 * MB else "-"


def _phase(row, name):
    phase = row["sign"]["phases"].get(name)
    return "-" if phase is None else "%.0f" % (1000 * phase["cpu"])


def _hash_and_copy(row):
    return row["limit"]["sha256"] + row["limit"]["copy"]


def table(rows):
    """The rows as a fixed-width text table: client CPU times in ms (wall
    times in s), sign phases, peak memory growth in MB; H + C is one SHA-256
    and one copy of the file, L is 2 x H + C; open is qpdf's CPU time to open
    the file and count its pages."""
    lines = [" ".join(heading.rjust(width) if i else heading.ljust(width)
                      for i, (heading, width, _) in enumerate(_COLUMNS))]
    for row in rows:
        lines.append(" ".join(value(row).rjust(width) if i else value(row).ljust(width)
                              for i, (_, width, value) in enumerate(_COLUMNS)))
    return "\n".join(lines)


def goals(rows, threads=None):
    """(description, measured text, met) for each goal of the signing path."""
    results = []
    if threads is not None:
        results.append(("two 50 MB files in two threads: wall <= 0.65 x one after the other",
                        "%.2f s <= %.2f s (%.2f)" % (threads["threads"], 0.65 * threads["serial"], threads["ratio"]),
                        threads["ratio"] <= 0.65))
    for row in rows:
        name, size = row["input"], row["limit"]["size"]
        sign_cpu, limit = row["sign"]["cpu"], row["limit"]["limit"]
        if name.startswith(("50MB", "200MB")):
            results.append(("%s: sign CPU <= 1.5 x L" % name,
                            "%.0f ms <= %.0f ms (%.2f x L)" % (1000 * sign_cpu, 1500 * limit, sign_cpu / limit),
                            sign_cpu <= 1.5 * limit))
            ts_cpu, bound = row["timestamp"]["cpu"], 1.2 * _hash_and_copy(row)
            results.append(("%s: timestamp CPU <= 1.2 x (SHA-256 + copy)" % name,
                            "%.0f ms <= %.0f ms" % (1000 * ts_cpu, 1000 * bound), ts_cpu <= bound))
            peak, bound = row["sign"]["peak_growth"], 1.1 * size + 64 * MB
            results.append(("%s: sign peak memory growth <= 1.1 x size + 64 MB" % name,
                            "%.0f MB <= %.0f MB (%.2f x size)" % (peak / MB, bound / MB, peak / size),
                            peak <= bound))
        if name.startswith("object-heavy"):
            bound = 2 * (row["limit"].get("open", 0) + limit)
            results.append(("%s: sign CPU <= 2 x (open + L)" % name,
                            "%.0f ms <= %.0f ms" % (1000 * sign_cpu, 1000 * bound), sign_cpu <= bound))
        if name.startswith("1-page"):
            results.append(("%s: sign CPU <= 40 ms" % name, "%.0f ms" % (1000 * sign_cpu), sign_cpu <= 0.040))
    return results
