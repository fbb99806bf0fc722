// The simulator's loop: one UDP socket on 0.0.0.0:62630 for the whole fleet,
// a queue of replies that fall due later, and a clean end on SIGINT/SIGTERM.
#pragma once

#include "tools/devsim/Fleet.h"

namespace quillon::devsim {

// Binds, prints the listening line and serves until SIGINT or SIGTERM.
// Returns the exit status: 0 after a signal, 1 when the port cannot be bound
// or the socket fails.
int RunSimulator(Fleet& fleet, bool quiet);

}  // namespace quillon::devsim
