"""RFC 3161 timestamp clients."""

__all__ = ["HTTPTimeStamper"]


class HTTPTimeStamper:
    def __init__(self, *args, **kwargs):
        raise NotImplementedError("HTTPTimeStamper is not built yet")
