"""Tenants, users, API tokens and timestamp credentials of the sandbox.

The configuration is a small JSON document; ``DEFAULT_CONFIG`` is used when
none is given.  Its shape::

    {"tenants": [
        {"tenant_id": "...",
         "api_token": "..." or null,            # null: generated at start
         "timestamp_username": "...",
         "timestamp_password": "..." or null,   # null: generated at start
         "default_user": "<user_id>",           # optional, else the first user
         "users": [{"user_id": "...", "user_full_name": "...",
                    "user_company_name": "...", "division": "..." or null,
                    "user_email": "..."}, ...]},
        ...]}

The first tenant is the default one.  User ids are unique across tenants,
because each user owns signer certificates of the one sandbox PKI.
"""

from __future__ import annotations

import json
import os
import secrets
from typing import Any, Dict, Literal, MutableMapping, Union, overload

__all__ = ["DEFAULT_CONFIG", "SandboxConfig", "SandboxConfigError", "Tenant", "User", "load_config"]

DEFAULT_CONFIG: Dict[str, Any] = {
    "tenants": [
        {
            "tenant_id": "corvane-dev",
            "api_token": None,
            "timestamp_username": "tsa-corvane-dev",
            "timestamp_password": None,
            "default_user": "u-1001",
            "users": [
                {"user_id": "u-1001", "user_full_name": "Ada Lovelace",
                 "user_company_name": "Analytical Engines Ltd", "division": "Research",
                 "user_email": "ada.lovelace@example.test"},
                {"user_id": "u-1002", "user_full_name": "Grace Hopper",
                 "user_company_name": "Compiler Works", "division": None,
                 "user_email": "grace.hopper@example.test"},
                {"user_id": "u-1003", "user_full_name": "Zo\u00eb \u00c5ngstr\u00f6m-M\u00fcller",
                 "user_company_name": "Soci\u00e9t\u00e9 d'Essais", "division": "Qualit\u00e9",
                 "user_email": "zoe.angstrom@example.test"},
            ],
        },
        {
            "tenant_id": "corvane-other",
            "api_token": None,
            "timestamp_username": "tsa-corvane-other",
            "timestamp_password": None,
            "users": [
                {"user_id": "u-2001", "user_full_name": "Alan Turing",
                 "user_company_name": "Bletchley Computing", "division": "Cryptanalysis",
                 "user_email": "alan.turing@example.test"},
            ],
        },
    ],
}

_USER_FIELDS = ("user_id", "user_full_name", "user_company_name", "division", "user_email")


class SandboxConfigError(ValueError):
    """The sandbox configuration is not usable; the message says which entry."""


class User:
    """One signer known to the service."""

    __slots__ = _USER_FIELDS + ("tenant_id",)

    def __init__(self, tenant_id: str, user_id: str, user_full_name: str, user_company_name: str,
                 division: str | None, user_email: str) -> None:
        self.tenant_id = tenant_id
        self.user_id = user_id
        self.user_full_name = user_full_name
        self.user_company_name = user_company_name
        self.division = division
        self.user_email = user_email

    def record(self) -> dict[str, str | None]:
        """The user-info payload: a fresh dict, safe to hand out."""
        return {name: getattr(self, name) for name in _USER_FIELDS}

    def __repr__(self) -> str:
        return "User(%r, tenant %r)" % (self.user_id, self.tenant_id)


class Tenant:
    """A tenant: its users, API token and timestamp-server credentials."""

    def __init__(self, tenant_id: str, api_token: str | None, timestamp_username: str,
                 timestamp_password: str | None, users: list[User],
                 default_user_id: str) -> None:
        self.tenant_id = tenant_id
        self.api_token = api_token
        self.timestamp_username = timestamp_username
        self.timestamp_password = timestamp_password
        self.users = users
        self.default_user_id = default_user_id

    @property
    def default_user(self) -> User:
        user = self.user_by_id(self.default_user_id)
        assert user is not None, "load_config checks that the default user is one of the users"
        return user

    def user_by_id(self, user_id: object) -> User | None:
        for user in self.users:
            if user.user_id == user_id:
                return user
        return None

    def user_by_email(self, email: str) -> User | None:
        wanted = email.casefold()
        for user in self.users:
            if user.user_email.casefold() == wanted:
                return user
        return None

    def __repr__(self) -> str:
        # Never show the token or the password.
        return "Tenant(%r, %d users)" % (self.tenant_id, len(self.users))


class SandboxConfig:
    """The validated configuration; ``tenants[0]`` is the default tenant."""

    def __init__(self, tenants: list[Tenant]) -> None:
        self.tenants = tenants

    @property
    def default_tenant(self) -> Tenant:
        return self.tenants[0]

    def tenant(self, tenant_id: object) -> Tenant | None:
        for tenant in self.tenants:
            if tenant.tenant_id == tenant_id:
                return tenant
        return None

    def all_users(self) -> list[User]:
        return [user for tenant in self.tenants for user in tenant.users]

    def user(self, user_id: object) -> User | None:
        for user in self.all_users():
            if user.user_id == user_id:
                return user
        return None

    def fill_secrets(self, stored: MutableMapping[str, Any]) -> bool:
        """Give every missing token and password a value.

        ``stored`` maps "<tenant_id>/api_token" and "<tenant_id>/timestamp_password"
        to secrets generated on an earlier run; new ones are added to it, so a
        state directory keeps them stable.  Returns True when ``stored`` changed.
        """
        changed = False
        for tenant in self.tenants:
            for attribute in ("api_token", "timestamp_password"):
                if getattr(tenant, attribute) is not None:
                    continue
                key = "%s/%s" % (tenant.tenant_id, attribute)
                if not isinstance(stored.get(key), str) or not stored[key]:
                    stored[key] = secrets.token_urlsafe(24)
                    changed = True
                setattr(tenant, attribute, stored[key])
        tokens = [tenant.api_token for tenant in self.tenants]
        if len(set(tokens)) != len(tokens):
            raise SandboxConfigError("two tenants share one API token")
        return changed


ConfigSource = Union[SandboxConfig, Dict[str, Any], str, "os.PathLike[str]", None]


def load_config(source: ConfigSource = None) -> SandboxConfig:
    """Build a ``SandboxConfig`` from None (the default), a dict, or a JSON file path."""
    if isinstance(source, SandboxConfig):
        return source
    data: Any
    if source is None:
        data = DEFAULT_CONFIG
    elif isinstance(source, dict):
        data = source
    else:
        try:
            with open(source, "rb") as handle:
                data = json.loads(handle.read().decode("utf-8"))
        except OSError as error:
            raise SandboxConfigError("cannot read configuration file %s: %s"
                                     % (source, error.strerror)) from None
        except ValueError as error:
            raise SandboxConfigError("configuration file %s is not JSON: %s"
                                     % (source, error)) from None
    return _parse(data)


@overload
def _text(entry: dict[str, Any], key: str, where: str, nullable: Literal[False] = False) -> str: ...
@overload
def _text(entry: dict[str, Any], key: str, where: str, nullable: bool) -> str | None: ...


def _text(entry: dict[str, Any], key: str, where: str, nullable: bool = False) -> str | None:
    value = entry.get(key)
    if value is None and nullable:
        return None
    if not isinstance(value, str) or not value:
        raise SandboxConfigError("%s: %r must be %s" % (
            where, key, "a non-empty string or null" if nullable else "a non-empty string"))
    return value


def _parse(data: Any) -> SandboxConfig:
    if not isinstance(data, dict) or not isinstance(data.get("tenants"), list) or not data["tenants"]:
        raise SandboxConfigError("configuration needs a non-empty list 'tenants'")
    tenants: list[Tenant] = []
    user_ids: set[str] = set()
    for index, entry in enumerate(data["tenants"]):
        where = "tenant #%d" % index
        if not isinstance(entry, dict):
            raise SandboxConfigError("%s must be an object" % where)
        tenant_id = _text(entry, "tenant_id", where)
        where = "tenant %r" % tenant_id
        if any(t.tenant_id == tenant_id for t in tenants):
            raise SandboxConfigError("%s is configured twice" % where)
        raw_users = entry.get("users")
        if not isinstance(raw_users, list) or not raw_users:
            raise SandboxConfigError("%s needs a non-empty list 'users'" % where)
        users: list[User] = []
        emails: set[str] = set()
        for raw in raw_users:
            if not isinstance(raw, dict):
                raise SandboxConfigError("%s: every user must be an object" % where)
            user_id = _text(raw, "user_id", where + " user")
            user_where = "%s user %r" % (where, user_id)
            if user_id in user_ids:
                raise SandboxConfigError("%s: user id is used twice" % user_where)
            user = User(tenant_id, user_id,
                        _text(raw, "user_full_name", user_where),
                        _text(raw, "user_company_name", user_where),
                        _text(raw, "division", user_where, nullable=True),
                        _text(raw, "user_email", user_where))
            if user.user_email.casefold() in emails:
                raise SandboxConfigError("%s: e-mail address is used twice" % user_where)
            user_ids.add(user_id)
            emails.add(user.user_email.casefold())
            users.append(user)
        default_user_id = entry.get("default_user", users[0].user_id)
        if not any(user.user_id == default_user_id for user in users):
            raise SandboxConfigError("%s: default_user %r is not one of its users"
                                     % (where, default_user_id))
        tenants.append(Tenant(
            tenant_id,
            _text(entry, "api_token", where, nullable=True),
            _text(entry, "timestamp_username", where),
            _text(entry, "timestamp_password", where, nullable=True),
            users, default_user_id))
    return SandboxConfig(tenants)
