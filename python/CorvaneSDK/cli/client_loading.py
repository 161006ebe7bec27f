"""Loading the Client for a command, with the garbage collector set aside.

Importing the Client and the libraries it drives creates some fifty thousand
objects that live as long as the process. Left to the collector, they are
examined again and again while they arrive and by every full collection of
the signing run that follows: about a sixth of a small signing's CPU time in
a fresh process. So the first load runs without collections, and what exists
then is moved out of the collector's sight for good (gc.freeze); later
collections look at the run's own objects only. The few hundred unreachable
objects the imports leave stay too: finding them would cost a full collection.
"""

from __future__ import annotations

import gc
import sys
from typing import Any

__all__ = ["client_module"]

_CLIENT = "CorvaneSDK.client"


def client_module() -> Any:
    """``CorvaneSDK.client``, imported on first use."""
    if _CLIENT in sys.modules:
        return sys.modules[_CLIENT]
    collecting = gc.isenabled()
    gc.disable()
    try:
        from .. import client
    finally:
        if collecting:
            gc.enable()
    gc.freeze()
    return client
