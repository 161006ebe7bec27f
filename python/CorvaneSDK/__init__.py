"""Client of the Corvane remote PDF-signing service."""


def __getattr__(name: str) -> str:
    # The version the package was installed as (pyproject.toml is its one
    # source), looked up only when asked for: finding the installed
    # distribution costs more than a signing run's own work.
    if name == "__version__":
        from importlib.metadata import version
        return version("CorvaneSDK")
    raise AttributeError("module %r has no attribute %r" % (__name__, name))
