"""How a command reports failure: one line on stderr and an exit code."""

__all__ = ["CommandError", "REFUSED", "UNREACHABLE", "BAD_INPUT"]

# Exit codes of sign and timestamp, by what a user can do about the failure.
REFUSED = 1       # the service (or its timestamp server) said no, or signing failed
UNREACHABLE = 4   # no answer: connection failed or timed out; trying later may work
BAD_INPUT = 5     # the command's own input: an option, an unreadable file, not a PDF


class CommandError(Exception):
    """A failure reported as one line on stderr and the exit code ``status``."""

    def __init__(self, message: str, status: int = REFUSED) -> None:
        super().__init__(message)
        self.status = status
