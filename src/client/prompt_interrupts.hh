// Keeps Ctrl-C prompt while a client runs an event loop.
//
// asyncio.run (3.11 and later) turns the first Ctrl-C into a cancellation of
// its main task, which lands only at the next real suspension. The requests
// of the clients and of the signature library block the loop, so a run would
// go on through all its remaining requests first. While an object of this
// class lives, Ctrl-C raises KeyboardInterrupt where it lands, as it does
// without an event loop (and as asyncio.run does on 3.9 and 3.10).
#pragma once

#include "object.hh"

namespace corvane::client {

class PromptInterrupts {
public:
    // Changes nothing outside the main thread, or when the program has its own SIGINT handler.
    PromptInterrupts();
    PromptInterrupts(const PromptInterrupts&) = delete;
    PromptInterrupts& operator=(const PromptInterrupts&) = delete;
    // Puts the default handler back, unless the program has set another meanwhile.
    ~PromptInterrupts();

private:
    py::Object signal_;
    py::Object handler_;  // the stand-in installed, if any
};

}  // namespace corvane::client
