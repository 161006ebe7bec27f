import copy
import datetime
import importlib.util
import pickle

import pytest

from CorvaneSDK.CorvaneSign.corvane_signature.config import errors
from CorvaneSDK.CorvaneSign.corvane_signature.config.errors import ConfigurationError

MODULE = "CorvaneSDK.CorvaneSign.corvane_signature.config.errors"


def test_module_is_compiled_and_defines_only_the_error():
    assert errors.__file__.endswith(".so")
    spec = importlib.util.find_spec(MODULE)
    assert spec.origin == errors.__file__
    assert [name for name in vars(errors) if not name.startswith("__")] == ["ConfigurationError"]


def test_class_properties():
    assert ConfigurationError.__bases__ == (ValueError,)
    assert ConfigurationError.__module__ == MODULE
    assert ConfigurationError.__qualname__ == "ConfigurationError"
    assert ConfigurationError.__doc__ == "Signal configuration errors."
    init = ConfigurationError.__dict__["__init__"]
    assert init.__qualname__ == "ConfigurationError.__init__"
    assert init.__annotations__ == {"msg": "str"}


@pytest.mark.parametrize("make", [lambda m: ConfigurationError(m), lambda m: ConfigurationError(msg=m)])
@pytest.mark.parametrize("message", ["bad setting", ""])
def test_message_is_kept(make, message):
    error = make(message)
    assert error.msg == message
    assert error.args == (message,)
    assert str(error) == message
    with pytest.raises(ValueError):
        raise error


class Text(str):
    pass


@pytest.mark.parametrize("value, type_name", [
    (None, "NoneType"), (3, "int"), (b"x", "bytes"), (Text("a"), "Text"),
    (datetime.date(2026, 1, 1), "datetime.date"),
])
def test_only_exact_str_is_accepted(value, type_name):
    with pytest.raises(TypeError) as error:
        ConfigurationError(value)
    assert str(error.value) == (
        "Argument 'msg' has incorrect type (expected str, got %s)" % type_name)


@pytest.mark.parametrize("args", [(), ("a", "b")])
def test_wrong_argument_count(args):
    with pytest.raises(TypeError):
        ConfigurationError(*args)


def test_unknown_keyword_is_refused():
    with pytest.raises(TypeError):
        ConfigurationError("a", colour="red")


def test_subclass_inherits_initializer():
    class Narrower(ConfigurationError):
        pass

    error = Narrower("narrow")
    assert (error.msg, error.args) == ("narrow", ("narrow",))


def test_next_initializer_in_mro_is_called():
    calls = []

    class Recorder(ValueError):
        def __init__(self, *args):
            calls.append(args)
            super().__init__(*args)

    class Mixed(ConfigurationError, Recorder):
        pass

    Mixed("m")
    assert calls == [("m",)]


@pytest.mark.parametrize("clone", [
    lambda e: pickle.loads(pickle.dumps(e)), copy.copy, copy.deepcopy,
])
def test_pickle_and_copy_round_trip(clone):
    twin = clone(ConfigurationError("x"))
    assert type(twin) is ConfigurationError
    assert (twin.msg, twin.args, str(twin)) == ("x", ("x",), "x")
