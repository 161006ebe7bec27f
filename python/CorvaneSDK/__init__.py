"""Client of the Corvane remote PDF-signing service."""

from importlib.metadata import version as _installed_version

# The version the package was installed as (pyproject.toml is its one source).
__version__ = _installed_version("CorvaneSDK")
