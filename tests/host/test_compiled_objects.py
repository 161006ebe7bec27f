"""Types and functions defined in C++ describe themselves, and cannot be
made into half-initialised objects from Python."""

import inspect
import types

import pytest

from CorvaneSDK import sign, timestamp
from CorvaneSDK.CorvaneSign.corvane_signature.config.errors import ConfigurationError
from CorvaneSDK import _pdfengine


def coroutine_type(function, *args):
    coroutine = function(*args)
    coroutine.close()
    return type(coroutine)


@pytest.fixture(params=["errors initializer", "engine document", "sign coroutine", "probe coroutine"])
def compiled_type(request, probe):
    return {
        "errors initializer": lambda: type(ConfigurationError.__dict__["__init__"]),
        "engine document": lambda: _pdfengine.Document,
        "sign coroutine": lambda: coroutine_type(sign.prep_document, "in.pdf", "Signature1", "reason"),
        "probe coroutine": lambda: coroutine_type(probe.await_one, None),
    }[request.param]()


@pytest.mark.parametrize("make", [
    lambda kind: kind(), lambda kind: kind.__new__(kind), lambda kind: object.__new__(kind),
], ids=["call", "__new__", "object.__new__"])
def test_compiled_types_cannot_be_instantiated(compiled_type, make):
    with pytest.raises(TypeError):
        make(compiled_type)


def compiled_functions(module):
    return [value for value in vars(module).values()
            if isinstance(value, types.BuiltinFunctionType) and value.__self__ is module]


@pytest.mark.parametrize("module", [sign, timestamp, _pdfengine], ids=lambda m: m.__name__)
def test_compiled_functions_show_the_call_they_accept(module):
    functions = compiled_functions(module)
    assert functions
    for function in functions:
        parameters = list(inspect.signature(function).parameters)
        # Every name the signature shows is one the function binds: only the extra one is refused.
        with pytest.raises(TypeError, match="unexpected keyword argument 'not_a_parameter'"):
            function(**dict.fromkeys(parameters), not_a_parameter=None)
        if module is _pdfengine:
            assert function.__doc__, function.__name__
        else:
            assert function.__doc__ is None, function.__name__


def test_engine_document_methods_show_their_call():
    methods = [value for value in vars(_pdfengine.Document).values()
               if isinstance(value, types.MethodDescriptorType)]
    assert len(methods) == 8
    for method in methods:
        assert "self" in inspect.signature(method).parameters
        assert method.__doc__, method.__name__
