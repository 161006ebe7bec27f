"""Verdicts: every finding against a signature or timestamp names a
sub-indication, and this table says what it makes of the whole.

A signature with no finding is TOTAL-PASSED.  Otherwise the worst finding
decides: any TOTAL-FAILED one beats every INDETERMINATE one, and among
equals the one listed first below wins, so the report names the most
fundamental fault.
"""

__all__ = ["TOTAL_PASSED", "TOTAL_FAILED", "INDETERMINATE", "SUB_INDICATIONS", "Finding", "verdict",
           "overall", "EXIT_PASSED", "EXIT_FAILED", "EXIT_INDETERMINATE"]

TOTAL_PASSED = "TOTAL-PASSED"
TOTAL_FAILED = "TOTAL-FAILED"
INDETERMINATE = "INDETERMINATE"

# sub-indication               indication      when
SUB_INDICATIONS = (
    ("FORMAT_FAILURE",            TOTAL_FAILED,   "the byte range, its placement or the container is malformed"),
    ("HASH_FAILURE",              TOTAL_FAILED,   "the signed bytes or the timestamped data do not match their digest"),
    ("SIG_CRYPTO_FAILURE",        TOTAL_FAILED,   "a signature value does not verify with its certificate"),
    ("NOT_ALLOWED_CHANGE",        TOTAL_FAILED,   "a later revision changed something the signature does not permit"),
    ("REVOKED",                   TOTAL_FAILED,   "a certificate was revoked before the time of validation"),
    ("EXPIRED",                   TOTAL_FAILED,   "a certificate had expired at the time of validation"),
    ("NOT_YET_VALID",             TOTAL_FAILED,   "a certificate was not yet valid at the time of validation"),
    # A certificate used against its constraints (a leaf acting as a CA, a key
    # not meant for signing documents) is a forgery attempt, not a doubt.
    ("CHAIN_CONSTRAINTS_FAILURE", TOTAL_FAILED,   "a certificate of the path breaks RFC 5280 or its purpose"),
    ("NO_CERTIFICATE_CHAIN_FOUND", INDETERMINATE, "no path to a trust anchor (none given, or none reached)"),
    ("TRY_LATER",                 INDETERMINATE,  "revocation data is missing or cannot be checked"),
)

_INDICATION = {name: indication for name, indication, _ in SUB_INDICATIONS}
_RANK = {name: rank for rank, (name, _, _) in enumerate(SUB_INDICATIONS)}

EXIT_PASSED, EXIT_FAILED, EXIT_INDETERMINATE = 0, 1, 3


class Finding:
    """One reason why a signature or timestamp does not simply pass."""

    def __init__(self, sub_indication, message):
        if sub_indication not in _INDICATION:
            raise ValueError("unknown sub-indication %r" % (sub_indication,))
        self.sub_indication = sub_indication
        self.message = message

    @property
    def indication(self):
        return _INDICATION[self.sub_indication]


def verdict(findings):
    """``(indication, sub_indication)`` of a list of findings; sub-indication None when passed."""
    if not findings:
        return TOTAL_PASSED, None
    worst = min(findings, key=lambda finding: (finding.indication != TOTAL_FAILED,
                                               _RANK[finding.sub_indication]))
    return worst.indication, worst.sub_indication


def overall(indications):
    """The indication of a document from those of its signatures and timestamps."""
    if TOTAL_FAILED in indications:
        return TOTAL_FAILED
    if INDETERMINATE in indications:
        return INDETERMINATE
    return TOTAL_PASSED


def exit_code(indication):
    return {TOTAL_PASSED: EXIT_PASSED, TOTAL_FAILED: EXIT_FAILED}.get(indication, EXIT_INDETERMINATE)
