// A main queue of the test's own (port/main_queue.h) with a manual clock: no
// block runs until the test runs the queue or moves the clock on.
#pragma once

#include <cstddef>

namespace kestrovan::fake {

// Runs the blocks posted for now, in posting order, and those they post.
void runMainQueue();

// Moves the clock on by `seconds`: each delayed block runs when its time comes
// (in time order, then posting order), after the blocks posted for now.
void advanceMainQueueClock(double seconds);

// Seconds since the last reset.
double mainQueueClock();

// Blocks posted and not yet run, delayed ones included.
size_t pendingMainQueueBlocks();

// Drops every pending block (unrun) and sets the clock back to 0.
void resetMainQueue();

}  // namespace kestrovan::fake
