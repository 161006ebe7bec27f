"""Signature fields and their settings."""

import enum

__all__ = ["SigSeedSubFilter"]


class SigSeedSubFilter(enum.Enum):
    """The /SubFilter of a signature dictionary: how its /Contents is encoded."""

    ADOBE_PKCS7_DETACHED = "/adbe.pkcs7.detached"
    PADES = "/ETSI.CAdES.detached"
    ETSI_RFC3161 = "/ETSI.RFC3161"
