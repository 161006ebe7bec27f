"""Which certificates the sandbox reports revoked (OCSP and CRLs read it)."""

import datetime
import threading
from typing import Container, Dict, List, Optional, Tuple

from .pki import utc_now

__all__ = ["Revocations", "REASONS", "Revocation"]

# When a certificate was revoked, and the reason if one was given.
Revocation = Tuple[datetime.datetime, Optional[str]]

# RFC 5280 CRLReason names as asn1crypto spells them.
REASONS = ("unspecified", "key_compromise", "ca_compromise", "affiliation_changed",
           "superseded", "cessation_of_operation", "certificate_hold",
           "remove_from_crl", "privilege_withdrawn", "aa_compromise")


class Revocations:
    """Thread-safe map serial number -> (revocation time, reason or None)."""

    def __init__(self) -> None:
        self._lock = threading.Lock()
        self._entries: Dict[int, Revocation] = {}

    def revoke(self, serial: int, reason: Optional[str] = None) -> None:
        if reason is not None and reason not in REASONS:
            raise ValueError("unknown revocation reason %r; use one of %s"
                             % (reason, ", ".join(REASONS)))
        # Whole seconds: OCSP and CRL times carry no fraction here.
        when = utc_now().replace(microsecond=0)
        with self._lock:
            self._entries.setdefault(serial, (when, reason))

    def status(self, serial: int) -> Optional[Revocation]:
        """(time, reason) if revoked, else None."""
        with self._lock:
            return self._entries.get(serial)

    def among(self, serials: Container[int]
              ) -> List[Tuple[int, datetime.datetime, Optional[str]]]:
        """Revoked entries for the given serials, as a sorted list of (serial, time, reason)."""
        with self._lock:
            return sorted((serial, when, reason) for serial, (when, reason)
                          in self._entries.items() if serial in serials)

    def clear(self) -> None:
        with self._lock:
            self._entries.clear()
