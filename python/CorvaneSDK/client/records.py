"""Immutable records with value equality: what a frozen dataclass gives,
without importing dataclasses into every process that signs."""

from __future__ import annotations

from typing import Any, Tuple

__all__ = ["Record"]


class Record:
    """Subclasses name their fields in ``_fields`` and set them in
    ``__init__`` with ``_set``; afterwards the record cannot change."""

    _fields: Tuple[str, ...] = ()

    def _set(self, name: str, value: Any) -> None:
        object.__setattr__(self, name, value)

    def _values(self) -> Tuple[Any, ...]:
        return tuple(getattr(self, name) for name in self._fields)

    def __setattr__(self, name: str, value: Any) -> None:
        raise AttributeError("cannot assign to field %r of an immutable %s" % (name, type(self).__name__))

    def __delattr__(self, name: str) -> None:
        raise AttributeError("cannot delete field %r of an immutable %s" % (name, type(self).__name__))

    def __eq__(self, other: object) -> bool:
        if not isinstance(other, Record) or other.__class__ is not self.__class__:
            return NotImplemented
        return self._values() == other._values()

    def __hash__(self) -> int:
        return hash(self._values())

    def __repr__(self) -> str:
        return "%s(%s)" % (type(self).__name__,
                           ", ".join("%s=%r" % (name, getattr(self, name)) for name in self._fields))
