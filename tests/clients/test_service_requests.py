"""The signing-service convention, as all three request functions apply it."""

import json

import pytest

import CorvaneSDK.sign as sign
import CorvaneSDK.timestamp as timestamp
from support.fakes import FakeRequests, FakeResponse, envelope

BASE = "https://service.example"

REQUESTS = {
    "user": (sign, "crvn_request_user_info", ("tok", "ten", "u1", "e@x"),
             "/api/openapi/sdk-user-info.json", {"tenant_id": "ten", "user_id": "u1"}),
    "certificate": (sign, "crvn_request_certificate_info", ("tok", "ten", "u1", "rsa", "ZGln"),
                    "/api/openapi/sdk-sign-info.json",
                    {"tenant_id": "ten", "pki": "rsa", "user_id": "u1", "digest_b64": "ZGln"}),
    "timestamp": (timestamp, "crvn_request_timestamp_info", ("tok", "ten"),
                  "/api/openapi/sdk-timestamp-info.json", {"tenant_id": "ten"}),
}


@pytest.fixture(params=sorted(REQUESTS))
def request_case(request, monkeypatch):
    module, name, args, path, body = REQUESTS[request.param]
    monkeypatch.setattr(module, "CRVN_DOMAIN_URL", BASE)

    def call(*responses):
        fake = FakeRequests(*responses)
        monkeypatch.setattr(module, "requests", fake)
        return getattr(module, name)(*args), fake

    return call, path, body


def test_success_posts_json_with_token_header_and_returns_result(request_case, capsys):
    call, path, body = request_case
    outcome, fake = call(envelope({"k": "v"}, other="dropped"))
    assert outcome == (True, {"k": "v"})
    (args, kwargs), = fake.posts
    assert args == (BASE + path,)
    assert list(kwargs) == ["json", "headers"]
    assert list(kwargs["json"].items()) == list(body.items())
    assert kwargs["headers"] == {"X-Corvane-Authorization": "tok"}
    assert capsys.readouterr().out == ""


@pytest.mark.parametrize("status", [201, 204, 400, 401, 403, 404, 500])
def test_any_other_status_prints_error_and_returns_body_text(request_case, status, capsys):
    call, _, _ = request_case
    outcome, _ = call(FakeResponse(status, text="refused: reasons"))
    assert outcome == (False, "refused: reasons")
    assert capsys.readouterr().out == "Error\n"


@pytest.mark.parametrize("response, error", [
    (FakeResponse(200, json_error=json.JSONDecodeError("Expecting value", "<html>", 0)), ValueError),
    (FakeResponse(200, {"no": "result"}), KeyError),
    (FakeResponse(200, ["a", "list"]), TypeError),
    (ConnectionError("no route"), ConnectionError),
])
def test_malformed_answers_and_transport_errors_propagate(request_case, response, error, capsys):
    call, _, _ = request_case
    with pytest.raises(error):
        call(response)
    assert capsys.readouterr().out == ""


def test_null_result_is_a_success_with_none(request_case):
    call, _, _ = request_case
    assert call(envelope(None))[0] == (True, None)


@pytest.mark.parametrize("user_id, email, expected", [
    ("u1", "e@x", {"tenant_id": "ten", "user_id": "u1"}),
    (None, "e@x", {"tenant_id": "ten", "email": "e@x"}),
    ("", "e@x", {"tenant_id": "ten", "email": "e@x"}),
    (0, "e@x", {"tenant_id": "ten", "email": "e@x"}),
    (None, None, {"tenant_id": "ten"}),
    ("", "", {"tenant_id": "ten"}),
])
def test_user_info_names_the_user_by_id_else_email_else_not_at_all(monkeypatch, user_id, email, expected):
    fake = FakeRequests(envelope({}))
    monkeypatch.setattr(sign, "requests", fake)
    sign.crvn_request_user_info("tok", "ten", user_id, email)
    assert fake.posts[0][1]["json"] == expected


def test_certificate_request_sends_all_four_members_even_when_none(monkeypatch):
    fake = FakeRequests(envelope({}))
    monkeypatch.setattr(sign, "requests", fake)
    sign.crvn_request_certificate_info("", None, None, None, None)
    body = fake.posts[0][1]["json"]
    assert list(body.items()) == [("tenant_id", None), ("pki", None), ("user_id", None), ("digest_b64", None)]
    assert fake.posts[0][1]["headers"] == {"X-Corvane-Authorization": ""}


def test_each_module_reads_its_own_base_url_at_call_time(monkeypatch):
    monkeypatch.setattr(sign, "CRVN_DOMAIN_URL", "https://sign-only.example")
    monkeypatch.setattr(timestamp, "CRVN_DOMAIN_URL", "https://ts-only.example/")
    fake = FakeRequests(envelope({}), envelope({}))
    monkeypatch.setattr(sign, "requests", fake)
    monkeypatch.setattr(timestamp, "requests", fake)
    sign.crvn_request_user_info("t", "n", None, None)
    timestamp.crvn_request_timestamp_info("t", "n")
    assert [args[0] for args, _ in fake.posts] == [
        "https://sign-only.example/api/openapi/sdk-user-info.json",
        # No normalisation: a trailing slash on the base gives a double slash.
        "https://ts-only.example//api/openapi/sdk-timestamp-info.json",
    ]
