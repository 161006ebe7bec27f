"""What a certificate path is validated for (``path_policy.validate_path``'s
purpose). Apart from the policy, so that naming a purpose does not load the
path validator with it."""

__all__ = ["SIGNER", "TIMESTAMPING", "OCSP_SIGNING"]

SIGNER = "document signer"
TIMESTAMPING = "timestamp authority"
OCSP_SIGNING = "OCSP responder"
