"""URL paths served by the sandbox."""

__all__ = [
    "USER_INFO_PATH", "SIGN_INFO_PATH", "TIMESTAMP_INFO_PATH", "SERVICE_PATHS",
    "AUTH_TSA_PATH", "OPEN_TSA_PATH", "TSA_PATHS",
    "AIA_PREFIX", "OCSP_PREFIX", "CRL_PREFIX",
    "aia_path", "ocsp_path", "crl_path",
]

USER_INFO_PATH = "/api/openapi/sdk-user-info.json"
SIGN_INFO_PATH = "/api/openapi/sdk-sign-info.json"
TIMESTAMP_INFO_PATH = "/api/openapi/sdk-timestamp-info.json"
SERVICE_PATHS = (USER_INFO_PATH, SIGN_INFO_PATH, TIMESTAMP_INFO_PATH)

# The timestamp server handed out with the tenant's credentials.
AUTH_TSA_PATH = "/tsa/rfc3161"
# The public one, without credentials, at the path the clients' default uses.
OPEN_TSA_PATH = "/TSS/RFC3161sha2TS"
TSA_PATHS = (AUTH_TSA_PATH, OPEN_TSA_PATH)

AIA_PREFIX = "/aia/"
OCSP_PREFIX = "/ocsp/"
CRL_PREFIX = "/crl/"


def aia_path(authority_name: str) -> str:
    """Where the DER certificate of a CA is served (AIA caIssuers)."""
    return "%s%s.cer" % (AIA_PREFIX, authority_name)


def ocsp_path(authority_name: str) -> str:
    """OCSP responder for the certificates a CA issued (POST here, GET below it)."""
    return OCSP_PREFIX + authority_name


def crl_path(authority_name: str) -> str:
    """DER CRL of a CA (CRL distribution point)."""
    return "%s%s.crl" % (CRL_PREFIX, authority_name)
