class ConfigurationError(ValueError):
    """Signal configuration errors."""

    msg: str
    def __init__(self, msg: str) -> None: ...
