"""Signature fields and their settings."""

import enum

__all__ = ["SigSeedSubFilter", "MDPPerm"]


class SigSeedSubFilter(enum.Enum):
    """The /SubFilter of a signature dictionary: how its /Contents is encoded."""

    ADOBE_PKCS7_DETACHED = "/adbe.pkcs7.detached"
    PADES = "/ETSI.CAdES.detached"
    ETSI_RFC3161 = "/ETSI.RFC3161"


class MDPPerm(enum.IntEnum):
    """What a certification (DocMDP) lets later revisions change without breaking it."""

    NO_CHANGES = 1
    FILL_FORMS = 2  # form filling and signing
    ANNOTATE = 3    # form filling, signing and annotations
