"""How a command reports failure."""

__all__ = ["CommandError"]


class CommandError(Exception):
    """A failure reported as one line on stderr and the exit code ``status``."""

    def __init__(self, message: str, status: int = 1) -> None:
        super().__init__(message)
        self.status = status
