// The main dispatch queue: blocks that run in a later turn of the main thread.
// Everything runs on the main thread; blocks never run concurrently.
#pragma once

#include <functional>

namespace kestrovan::port {

// dispatch_async on the main queue.
void dispatchOnMainQueue(std::function<void()> block);
// dispatch_after on the main queue, `seconds` from now.
void dispatchOnMainQueueAfter(double seconds, std::function<void()> block);

}  // namespace kestrovan::port
