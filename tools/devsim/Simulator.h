// The simulator's loop: one UDP socket on 0.0.0.0:62630 for the whole fleet
// (with a --bind address, tied to the one interface that holds it), a queue
// of replies that fall due later, and a clean end on SIGINT/SIGTERM.
#pragma once

#include <string>

#include "tools/devsim/Fleet.h"

namespace quillon::devsim {

struct LoopOptions {
    bool quiet = false;
    // Empty: every interface. Otherwise the dotted address whose interface
    // alone is served.
    std::string bindAddress;
};

// Binds, prints the listening line and serves until SIGINT or SIGTERM.
// Returns the exit status: 0 after a signal, 1 when the port cannot be bound,
// no interface holds the bind address, or the socket fails.
int RunSimulator(Fleet& fleet, const LoopOptions& options);

}  // namespace quillon::devsim
