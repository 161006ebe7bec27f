"""How a command reports failure."""

__all__ = ["CommandError"]


class CommandError(Exception):
    """A failure reported as one line on stderr and the exit code ``status``."""

    def __init__(self, message, status=1):
        super().__init__(message)
        self.status = status
