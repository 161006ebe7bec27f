// Stops a run that has been asked to stop before it changes the user's files.
//
// Requests block the event loop, so a Ctrl-C that asyncio.run turns into a
// cancellation of the main task (Python 3.11 and later), or a cancellation of
// the task awaiting a procedure, only lands at the next real suspension, or
// never. The clients look for it after each blocking step and before an
// output is put in place.
#pragma once

#include "object.hh"

namespace corvane::client {

// Runs pending signal handlers (which may raise, e.g. KeyboardInterrupt), then
// raises asyncio.CancelledError when the current task has a cancellation
// pending. Outside a running event loop only the signal handlers matter.
void raise_if_interrupted();

}  // namespace corvane::client
