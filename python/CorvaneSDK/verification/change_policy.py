"""What may change in a document after it was signed, by the permission that
governs it: none (no certification), or the DocMDP level of a certification
signature (1: no changes, 2: form filling and signing, 3: plus annotations).

Validation data and document timestamps never change what a reader sees;
document information and metadata are not shown on any page.
"""

__all__ = ["VALIDATION_DATA", "DOCUMENT_TIMESTAMP", "METADATA", "SIGNATURE_FIELD", "SIGNING",
           "FORM_DEFAULTS", "FORM_FILLING", "ANNOTATION", "permitted"]

VALIDATION_DATA = "validation data (DSS)"
DOCUMENT_TIMESTAMP = "document timestamp"
METADATA = "document information or metadata"
SIGNATURE_FIELD = "new signature field"
SIGNING = "signing of a signature field"
FORM_DEFAULTS = "the form's default appearance or resources"
FORM_FILLING = "form filling"
ANNOTATION = "annotation"

_UNCERTIFIED, _P1, _P2, _P3 = None, 1, 2, 3

#                      uncertified  P 1    P 2    P 3
_TABLE = {
    VALIDATION_DATA:    (True,      True,  True,  True),
    DOCUMENT_TIMESTAMP: (True,      True,  True,  True),
    METADATA:           (True,      True,  True,  True),
    SIGNATURE_FIELD:    (True,      False, True,  True),
    SIGNING:            (True,      False, True,  True),
    FORM_DEFAULTS:      (True,      False, True,  True),
    FORM_FILLING:       (False,     False, True,  True),
    ANNOTATION:         (False,     False, False, True),
}
_COLUMN = {_UNCERTIFIED: 0, _P1: 1, _P2: 2, _P3: 3}


def permitted(change, level):
    """Whether ``change`` may follow a signature under DocMDP ``level`` (None: no certification)."""
    return _TABLE[change][_COLUMN[level]]
