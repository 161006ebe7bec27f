"""Reading certificates, CRLs and OCSP responses from the bytes servers send."""

from typing import Any, Callable, List, Optional, Set

from asn1crypto import cms, core, crl, ocsp, pem, x509

__all__ = ["certificates_from_bytes", "crl_from_bytes", "ocsp_response_from_bytes",
           "as_ocsp_response", "as_crl", "decode_all", "decode_received"]


def decode_all(value: Any) -> None:
    """Decodes every part of the parsed ``value`` now, raising ValueError (or
    TypeError) for damage, as ``value.native`` would; but without building the
    native form of constructed values, for which asn1crypto re-encodes much
    of the structure."""
    _decode(value, lambda cert: False)


def decode_received(value: Any, accepted: Optional[Set[bytes]] = None) -> None:
    """Like :func:`decode_all`, for what a server sent: the same errors, but a
    certificate inside that cryptography's parser takes is not walked in
    Python (the parser needs a few percent of the walk's time); of it, only
    what this library reads through asn1crypto is decoded, so that damage
    there still shows now and not halfway through a chain.

    ``accepted`` holds the DER of certificates already taken: they are not
    checked again, and those taken now join it (a server that sends the same
    certificate in every answer costs one check)."""
    if accepted is None:
        _decode(value, _certificate_taken)
        return
    known = accepted

    def taken(cert: Any) -> bool:
        if not isinstance(cert, x509.Certificate):
            return False
        der = cert.dump()
        if der in known:
            return True
        if not _certificate_taken(cert):
            return False
        known.add(der)
        return True

    _decode(value, taken)


def _certificate_taken(cert: Any) -> bool:
    """True when ``cert`` parses strictly in cryptography (structure, names,
    dates, key, every extension it knows) and decodes where this library reads
    it; False leaves the decision to the walk, with its own errors."""
    if not isinstance(cert, x509.Certificate):
        return False
    try:
        if cert.serial_number <= 0:
            return False  # cryptography would warn about it, in the user's output
    except ValueError:
        return False
    from cryptography import x509 as rust_x509  # a large import: only where a certificate arrives

    try:
        parsed = rust_x509.load_der_x509_certificate(cert.dump())
        parsed.subject, parsed.issuer, parsed.extensions, parsed.public_key()
        parsed.not_valid_before_utc, parsed.not_valid_after_utc
        # Parses every extension's value, and reads those the chain and the
        # revocation checks use.
        cert.key_identifier, cert.authority_key_identifier
        for entry in cert.authority_information_access_value or []:
            entry["access_location"].native
        for point in cert.crl_distribution_points:
            point.url
    except Exception:  # noqa: BLE001 - any refusal: the walk decides, and raises its own error
        return False
    return True


def _decode(value: Any, taken: Callable[[Any], bool]) -> None:
    pending = [value]
    while pending:
        item = pending.pop()
        try:
            if taken(item):
                continue
            if isinstance(item, core.Choice):
                pending.append(item.chosen)
            elif isinstance(item, core.Sequence):
                pending.extend(item[name] for name in item)
            elif isinstance(item, core.SequenceOf):
                pending.extend(item)
            elif isinstance(item, core.Any):
                pending.append(item.parsed)
            elif isinstance(item, (core.ParsableOctetString, core.ParsableOctetBitString)) \
                    and item._parsed is not None:
                # What .native would decode (an OCSP response's body, a
                # TSTInfo), walked like the rest instead.
                pending.append(item._parsed[0])
            else:
                item.native
        except KeyError as error:  # an enumeration value the type does not know
            raise ValueError("unknown value %s in %s" % (error, type(item).__name__)) from None


def _unarmor_all(data: bytes) -> List[bytes]:
    if pem.detect(data):
        return [der for _, _, der in pem.unarmor(data, multiple=True)]
    return [data]


def _parsed(asn1_type: Any, der: bytes) -> Any:
    try:
        value = asn1_type.load(der)
        decode_received(value)  # a damaged structure fails here, not later
    except TypeError as exc:
        raise ValueError(str(exc)) from None
    return value


def certificates_from_bytes(data: bytes) -> List[Any]:
    """Certificates in ``data``: DER or PEM certificates, or a PKCS#7 certs-only bundle.

    Raises ValueError when nothing in ``data`` is a certificate.
    """
    certs = []
    for der in _unarmor_all(bytes(data)):
        try:
            certs.append(_parsed(x509.Certificate, der))
            continue
        except ValueError:
            pass
        try:
            content_info = _parsed(cms.ContentInfo, der)
        except ValueError:
            raise ValueError("neither a certificate nor a PKCS#7 bundle") from None
        if content_info["content_type"].native != "signed_data":
            raise ValueError("PKCS#7 content is %s, not a certificate bundle"
                             % content_info["content_type"].native)
        for choice in content_info["content"]["certificates"] or []:
            if choice.name == "certificate":
                certs.append(choice.chosen)
    if not certs:
        raise ValueError("no certificate found")
    return certs


def crl_from_bytes(data: bytes) -> Any:
    """The CRL in ``data`` (DER or PEM); ValueError if it is none."""
    ders = _unarmor_all(bytes(data))
    try:
        return _parsed(crl.CertificateList, ders[0])
    except ValueError:
        raise ValueError("not a CRL") from None


def ocsp_response_from_bytes(data: bytes) -> Any:
    """The OCSP response in ``data`` (DER); ValueError if it is none."""
    try:
        return _parsed(ocsp.OCSPResponse, bytes(data))
    except ValueError:
        raise ValueError("not an OCSP response") from None


def as_ocsp_response(value: Any) -> Any:
    return value if isinstance(value, ocsp.OCSPResponse) else ocsp_response_from_bytes(value)


def as_crl(value: Any) -> Any:
    return value if isinstance(value, crl.CertificateList) else crl_from_bytes(value)
