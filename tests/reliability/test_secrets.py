"""Neither the API token nor the timestamp server's password ever shows in
what the clients print (stdout, stderr) or in the exceptions they raise
(text, repr, arguments, traceback), on any failure path."""

import json
import traceback

import pytest

import CorvaneSDK.sign as sign
import CorvaneSDK.timestamp as timestamp
from CorvaneSDK.sandbox import paths
from support.sample_pdfs import document, encrypted

SERVICE = (paths.USER_INFO_PATH, paths.SIGN_INFO_PATH, paths.TIMESTAMP_INFO_PATH)


def credentials(sb, password=None, url=None):
    """A replacement decrypt_data handing out other timestamp credentials."""
    text = json.dumps({"ts_url": url or sb.tsa_url, "ts_username": sb.tsa_username,
                       "ts_password": sb.tsa_password if password is None else password})
    return lambda _token_text, _api_token: text.encode("utf-8")


# name -> fn(sandbox, monkeypatch, folder) that breaks something; it may
# return a replacement API token (derived from the real one) to call with.
FAILURES = {
    "service-401": lambda sb, mp, d: [sb.faults.respond(p, 401, "no") for p in SERVICE],
    "service-dropped": lambda sb, mp, d: [sb.faults.drop(p) for p in SERVICE],
    "service-not-json": lambda sb, mp, d: sb.faults.reply_non_json(),
    "service-no-result": lambda sb, mp, d: sb.faults.reply_without_result(),
    "service-null-result": lambda sb, mp, d: sb.faults.reply_null_result(),
    "service-unreachable": lambda sb, mp, d: [mp.setattr(m, "CRVN_DOMAIN_URL", "http://127.0.0.1:9")
                                              for m in (sign, timestamp)],
    "signature-not-base64": lambda sb, mp, d: sb.faults.signature_not_base64(),
    "signature-invalid": lambda sb, mp, d: sb.faults.signature_invalid(),
    "certificate-not-base64": lambda sb, mp, d: sb.faults.certificate_not_base64(),
    "certificate-not-der": lambda sb, mp, d: sb.faults.certificate_not_der(),
    "credentials-missing": lambda sb, mp, d: sb.faults.credentials_missing(),
    "credentials-undecipherable": lambda sb, mp, d: sb.faults.credentials_undecipherable(),
    "tsa-rejects": lambda sb, mp, d: sb.faults.tsa_reject(),
    "tsa-wrong-nonce": lambda sb, mp, d: sb.faults.tsa_wrong_nonce(),
    "tsa-wrong-imprint": lambda sb, mp, d: sb.faults.tsa_wrong_imprint(),
    "tsa-401": lambda sb, mp, d: sb.faults.tsa_http_error(401),
    "tsa-dropped": lambda sb, mp, d: sb.faults.drop(paths.AUTH_TSA_PATH),
    "ocsp-and-crl-down": lambda sb, mp, d: (sb.faults.ocsp_down(), sb.faults.crl_down()),
    "ocsp-wrong-key": lambda sb, mp, d: sb.faults.ocsp_wrong_key(),
    "aia-loop": lambda sb, mp, d: sb.faults.aia_loop(),
    "revoked-signer": lambda sb, mp, d: sb.revoke(sb.pki.signer_certificate(sb.users[0]["user_id"])),
    "revoked-tsa": lambda sb, mp, d: sb.revoke(sb.pki.tsa_certificate),
    "input-missing": lambda sb, mp, d: (d / "in.pdf").unlink(),
    "input-not-pdf": lambda sb, mp, d: (d / "in.pdf").write_bytes(b"not a PDF at all"),
    "input-needs-password": lambda sb, mp, d: (d / "in.pdf").write_bytes(encrypted(document(), "secret")),
    "output-folder-missing": lambda sb, mp, d: None,  # the output path names a folder that is not there
    "token-with-line-break": lambda sb, mp, d: sb.api_token + "\r\nX-Injected: 1",
    "token-with-leading-space": lambda sb, mp, d: " " + sb.api_token,
    "token-not-latin-1": lambda sb, mp, d: sb.api_token + "\u20ac",
    "tsa-password-wrong": lambda sb, mp, d: [mp.setattr(m, "decrypt_data", credentials(sb, sb.tsa_password + "x"))
                                             for m in (sign, timestamp)],
    "tsa-password-not-latin-1": lambda sb, mp, d: [
        mp.setattr(m, "decrypt_data", credentials(sb, sb.tsa_password + "\u20ac")) for m in (sign, timestamp)],
    "tsa-password-in-url": lambda sb, mp, d: sb.faults.tsa_http_error(503) or [
        mp.setattr(m, "decrypt_data", credentials(sb, url=sb.tsa_url.replace(
            "://", "://%s:%s@" % (sb.tsa_username, sb.tsa_password)))) for m in (sign, timestamp)],
}


# Faults in what only the signing client asks for.
SIGNING_ONLY = {"signature-not-base64", "signature-invalid", "certificate-not-base64", "certificate-not-der",
                "revoked-signer"}
CASES = [(failure, entry) for failure in sorted(FAILURES) for entry in ("sign_crvn", "timestamp_crvn")
         if entry == "sign_crvn" or failure not in SIGNING_ONLY]


def exception_texts(exc):
    if exc is None:
        return ""
    return "\n".join([str(exc), repr(exc), repr(exc.args), repr(getattr(exc, "object", "")),
                      "".join(traceback.format_exception(type(exc), exc, exc.__traceback__))])


@pytest.mark.parametrize("failure, entry", CASES)
def test_no_secret_in_any_output_or_exception(service, tmp_path, monkeypatch, capfd, entry, failure):
    (tmp_path / "in.pdf").write_bytes(document())
    token = FAILURES[failure](service, monkeypatch, tmp_path)
    token = token if isinstance(token, str) else service.api_token
    output = tmp_path / ("missing/out.pdf" if failure == "output-folder-missing" else "out.pdf")
    caught = None
    try:
        if entry == "sign_crvn":
            sign.sign_crvn(str(tmp_path / "in.pdf"), str(output), token, service.tenant_id, "rsa")
        else:
            timestamp.timestamp_crvn(str(tmp_path / "in.pdf"), str(output), token, service.tenant_id)
    except Exception as exc:
        caught = exc
    printed = capfd.readouterr()
    seen = printed.out + printed.err + exception_texts(caught)
    # Each path fails somewhere: an exception, a refusal or a printed exception.
    assert caught is not None or "Error" in printed.out or "Exception" in printed.out
    assert not output.exists()
    for secret in (service.api_token, service.tsa_password):
        assert secret not in seen
