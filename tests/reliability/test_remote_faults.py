"""Faults at every remote step of both clients, injected through the
sandbox: each gives exactly the printed lines and the exception that the
clients' contracts give, and never an output file or a changed input.

(Refusals with 403, bad Base64, invalid signatures and failing timestamp
servers for timestamp_test are in tests/clients/test_end_to_end.py.)"""

import os
import re

import pytest
import requests

import CorvaneSDK.sign as sign
import CorvaneSDK.timestamp as timestamp
from CorvaneSDK.CorvaneSign.corvane_signature import exceptions
from CorvaneSDK.sandbox import paths
from support.pdf_oracles import pdfsig, qpdf_check
from support.sample_pdfs import document

SERVICE_STEPS = {"user info": paths.USER_INFO_PATH, "certificate info": paths.SIGN_INFO_PATH}
STATUSES = [204, 302, 404, 500]


@pytest.fixture
def files(tmp_path):
    source = tmp_path / "in.pdf"
    source.write_bytes(document())
    return source, tmp_path / "out.pdf"


def run_sign(service, files, entry="sign_crvn"):
    source, target = files
    getattr(sign, entry)(str(source), str(target), service.api_token, service.tenant_id, "rsa")


def run_timestamp(service, files):
    source, target = files
    timestamp.timestamp_crvn(str(source), str(target), service.api_token, service.tenant_id)


def assert_nothing_written(files):
    source, target = files
    assert source.read_bytes() == document()
    assert os.listdir(source.parent) == ["in.pdf"]


def assert_valid_output(files):
    signed = files[1].read_bytes()
    assert signed.startswith(document()) and qpdf_check(signed)[0]
    return signed


# --- the signing service -----------------------------------------------------

@pytest.mark.parametrize("status", STATUSES)
@pytest.mark.parametrize("step", sorted(SERVICE_STEPS))
def test_sign_refused_with_any_status_but_200_prints_and_returns(service, files, capsys, step, status):
    service.faults.respond(SERVICE_STEPS[step], status, "refused")
    assert sign.sign_crvn(str(files[0]), str(files[1]), service.api_token, service.tenant_id, "rsa") is None
    assert capsys.readouterr().out == "Error\nError: get %s\n" % step
    assert_nothing_written(files)


@pytest.mark.parametrize("status", STATUSES)
def test_timestamp_refused_with_any_status_but_200_prints_and_returns(service, files, capsys, status):
    service.faults.respond(paths.TIMESTAMP_INFO_PATH, status, "refused")
    run_timestamp(service, files)
    assert capsys.readouterr().out == "Error\nError: get timestamp info\nDone\n"
    assert_nothing_written(files)
    assert [r.path for r in service.requests] == [paths.TIMESTAMP_INFO_PATH]


# Broken answers to a service request: the error that propagates out of the
# signing client, and the text the timestamping client prints after "Exception ".
BROKEN_ANSWERS = {
    "dropped": (lambda f, p: f.drop(p), requests.ConnectionError, r"\('Connection aborted\.', "),
    "not-json": (lambda f, p: f.reply_non_json(p), requests.exceptions.JSONDecodeError,
                 r"Expecting value: line 1 column 1 \(char 0\)$"),
    "no-result": (lambda f, p: f.reply_without_result(p), KeyError, r"'result'$"),
    "null-result": (lambda f, p: f.reply_null_result(p), TypeError, r"'NoneType' object is not subscriptable$"),
}


@pytest.mark.parametrize("answer", sorted(BROKEN_ANSWERS))
@pytest.mark.parametrize("step", sorted(SERVICE_STEPS))
def test_sign_broken_service_answer_propagates(service, files, capsys, step, answer):
    inject, error, text = BROKEN_ANSWERS[answer]
    inject(service.faults, SERVICE_STEPS[step])
    with pytest.raises(error) as caught:
        run_sign(service, files)
    assert re.search(text, str(caught.value))
    assert capsys.readouterr().out == ""
    assert_nothing_written(files)
    # Nothing is asked of the service after the broken answer.
    assert [r.path for r in service.requests if r.path.startswith("/api/")][-1] == SERVICE_STEPS[step]


@pytest.mark.parametrize("answer", sorted(BROKEN_ANSWERS))
def test_timestamp_broken_service_answer_is_printed(service, files, capsys, answer):
    inject, _, text = BROKEN_ANSWERS[answer]
    inject(service.faults, paths.TIMESTAMP_INFO_PATH)
    run_timestamp(service, files)
    exception, done = capsys.readouterr().out.splitlines()
    assert exception.startswith("Exception ") and re.search(text, exception) and done == "Done"
    assert_nothing_written(files)


def test_slow_service_answers_are_waited_for(service, files, capsys):
    # No time-out is passed to the service requests: a late answer is used.
    for path in paths.SERVICE_PATHS:
        service.faults.delay(path, 0.4)
    run_sign(service, files)
    assert pdfsig(assert_valid_output(files))[0]["validation"] == "Signature is Valid."
    files[1].unlink()
    run_timestamp(service, files)
    assert capsys.readouterr().out == "Done\n"
    assert_valid_output(files)


def test_slow_refusal_is_still_a_refusal(service, files, capsys):
    service.faults.delay(paths.USER_INFO_PATH, 0.4)
    service.faults.respond(paths.USER_INFO_PATH, 503, "busy")
    run_sign(service, files)
    assert capsys.readouterr().out == "Error\nError: get user info\n"
    assert_nothing_written(files)


@pytest.mark.parametrize("fault, error, text", [
    ("certificate_not_base64", ValueError, r"Insufficient data|Incorrect padding|base64"),
    ("credentials_undecipherable", ValueError, r"failed authentication"),
])
def test_sign_info_payload_faults_propagate(service, files, fault, error, text):
    getattr(service.faults, fault)()
    with pytest.raises(error, match=text):
        run_sign(service, files)
    assert_nothing_written(files)


@pytest.mark.parametrize("fault, line", [
    ("credentials_missing", "Exception '_t'"),
    ("credentials_undecipherable",
     "Exception enciphered credentials failed authentication: wrong API token or altered text"),
])
def test_timestamp_info_payload_faults_are_printed(service, files, capsys, fault, line):
    getattr(service.faults, fault)(paths.TIMESTAMP_INFO_PATH)
    run_timestamp(service, files)
    assert capsys.readouterr().out == line + "\nDone\n"
    assert_nothing_written(files)


# --- the timestamp server and the sources of validation data ------------------

def tsa_message(service, what):
    return r"^timestamp server %s%s%s" % (re.escape(service.url), paths.AUTH_TSA_PATH, what)


REMOTE_FAULTS = {
    "tsa-rejects": (lambda sb: sb.faults.tsa_reject(), exceptions.TimestampError,
                    lambda sb: tsa_message(sb, r": request rejected: rejection; failure system_failure")),
    "tsa-wrong-nonce": (lambda sb: sb.faults.tsa_wrong_nonce(), exceptions.TimestampError,
                        lambda sb: tsa_message(sb, r": nonce mismatch")),
    "tsa-wrong-imprint": (lambda sb: sb.faults.tsa_wrong_imprint(), exceptions.TimestampError,
                          lambda sb: tsa_message(sb, r": imprint mismatch")),
    "tsa-http-502": (lambda sb: sb.faults.tsa_http_error(502), exceptions.TimestampError,
                     lambda sb: tsa_message(sb, r" answered HTTP 502$")),
    "tsa-dropped": (lambda sb: sb.faults.drop(paths.AUTH_TSA_PATH), exceptions.TimestampError,
                    lambda sb: tsa_message(sb, r" is unreachable \(connection failed\)$")),
    "ocsp-and-crl-down": (lambda sb: (sb.faults.ocsp_down(), sb.faults.crl_down()), exceptions.ValidationError,
                          lambda sb: r"^no revocation information for certificate .*OCSP responder .* answered "
                                     r"HTTP 500; CRL distribution point .* answered HTTP 500$"),
    "ocsp-and-crl-dropped": (lambda sb: (sb.faults.ocsp_down("drop"), sb.faults.crl_down("drop")),
                             exceptions.ValidationError,
                             lambda sb: r"^no revocation information for certificate .* unreachable"),
    "ocsp-wrong-key": (lambda sb: sb.faults.ocsp_wrong_key(), exceptions.ValidationError,
                       lambda sb: r"is signed by \"Rogue OCSP Responder\""),
    "aia-down": (lambda sb: sb.faults.aia_down(), exceptions.ValidationError,
                 lambda sb: r"does not reach a root: CA certificate source .* answered HTTP 500$"),
}


@pytest.mark.parametrize("fault", sorted(REMOTE_FAULTS))
def test_sign_remote_fault_propagates(service, files, capsys, fault):
    inject, error, message = REMOTE_FAULTS[fault]
    inject(service)
    with pytest.raises(error) as caught:
        run_sign(service, files)
    assert re.search(message(service), str(caught.value))
    assert capsys.readouterr().out == ""
    assert_nothing_written(files)


@pytest.mark.parametrize("fault", sorted(REMOTE_FAULTS))
def test_timestamp_remote_fault_is_printed(service, files, capsys, fault):
    inject, _, message = REMOTE_FAULTS[fault]
    inject(service)
    run_timestamp(service, files)
    exception, done = capsys.readouterr().out.splitlines()
    assert exception.startswith("Exception ") and re.search(message(service), exception[len("Exception "):])
    assert done == "Done"
    assert_nothing_written(files)


def test_revoked_signer_certificate_is_refused(service, files, capsys):
    service.revoke(service.pki.signer_certificate(service.users[0]["user_id"]))
    with pytest.raises(exceptions.RevokedCertificateError, match=r"\"%s\" .* is revoked since" % re.escape(
            service.users[0]["user_full_name"])):
        run_sign(service, files)
    assert capsys.readouterr().out == ""
    assert_nothing_written(files)


def test_revoked_timestamp_authority_is_refused(service, files, capsys):
    service.revoke(service.pki.tsa_certificate)
    run_timestamp(service, files)
    exception, done = capsys.readouterr().out.splitlines()
    assert re.match(r"Exception certificate .* is revoked since", exception) and done == "Done"
    assert_nothing_written(files)


@pytest.mark.parametrize("entry", ["sign_crvn", "timestamp_crvn"])
def test_ocsp_down_falls_back_to_crls(service, files, capsys, entry):
    service.faults.ocsp_down()
    if entry == "sign_crvn":
        run_sign(service, files)
        assert pdfsig(assert_valid_output(files))[0]["validation"] == "Signature is Valid."
    else:
        run_timestamp(service, files)
        assert capsys.readouterr().out == "Done\n"
        assert_valid_output(files)
    assert any(r.path.startswith(paths.CRL_PREFIX) for r in service.requests)


def test_slow_timestamp_server_is_waited_for(service, files):
    service.faults.delay(paths.OPEN_TSA_PATH, 0.4)
    run_sign(service, files, "sign_test")
    assert pdfsig(assert_valid_output(files))[0]["validation"] == "Signature is Valid."
