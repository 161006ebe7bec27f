"""Certificate stores."""

from typing import Any, Iterable, Iterator, List, Optional

from asn1crypto import x509

from .naming import same_name

__all__ = ["SimpleCertificateStore", "as_certificate"]


def as_certificate(value: Any) -> Any:
    """An asn1crypto certificate from a certificate or its DER bytes."""
    if isinstance(value, x509.Certificate):
        return value
    if isinstance(value, (bytes, bytearray)):
        try:
            cert = x509.Certificate.load(bytes(value))
            cert.native  # parse fully now, so bad bytes fail here and not later
            return cert
        except ValueError as exc:
            raise ValueError("not a DER X.509 certificate: %s" % exc)
    raise TypeError("expected an asn1crypto x509.Certificate or DER bytes, got %s"
                    % type(value).__name__)


class SimpleCertificateStore:
    """An ordered set of certificates, looked up by name, issuer/serial or key id.

    Two certificates are the same when their DER encodings are equal.
    """

    def __init__(self) -> None:
        self._by_der: dict[bytes, Any] = {}

    def register(self, cert: Any) -> bool:
        """Add ``cert``; True if it was not in the store yet."""
        cert = as_certificate(cert)
        der = cert.dump()
        if der in self._by_der:
            return False
        self._by_der[der] = cert
        return True

    def register_multiple(self, certs: Iterable[Any]) -> int:
        """Add every certificate of ``certs``; returns how many were new."""
        return sum(1 for cert in certs if self.register(cert))

    def __iter__(self) -> Iterator[Any]:
        return iter(list(self._by_der.values()))

    def __len__(self) -> int:
        return len(self._by_der)

    def __contains__(self, cert: object) -> bool:
        return isinstance(cert, x509.Certificate) and cert.dump() in self._by_der

    def retrieve_by_name(self, name: Any) -> List[Any]:
        """Certificates whose subject is ``name`` (an asn1crypto ``x509.Name``)."""
        return [cert for cert in self._by_der.values() if same_name(cert.subject, name)]

    def retrieve_by_issuer_serial(self, issuer: Any, serial_number: int) -> Optional[Any]:
        """The certificate with this issuer name and serial number, or None."""
        for cert in self._by_der.values():
            if cert.serial_number == serial_number and same_name(cert.issuer, issuer):
                return cert
        return None

    def retrieve_by_key_identifier(self, key_identifier: bytes) -> List[Any]:
        """Certificates whose subject key identifier is ``key_identifier`` (bytes)."""
        return [cert for cert in self._by_der.values() if cert.key_identifier == key_identifier]
