#include "fakes/manual_main_queue.h"

#include <cstdint>
#include <functional>
#include <map>
#include <utility>

#include "port/main_queue.h"

namespace kestrovan {

namespace {

struct Queue {
  double now = 0;
  uint64_t posted = 0;
  // Keyed by (due time, posting order): the map's order is the run order.
  std::map<std::pair<double, uint64_t>, std::function<void()>> blocks;
};

Queue& queue() {
  static Queue instance;
  return instance;
}

// Runs the first block due by `until`; false when none is.
bool runOneDueBy(double until) {
  Queue& q = queue();
  auto first = q.blocks.begin();
  if (first == q.blocks.end() || first->first.first > until) return false;
  if (first->first.first > q.now) q.now = first->first.first;
  std::function<void()> block = std::move(first->second);
  q.blocks.erase(first);
  block();
  return true;
}

}  // namespace

namespace fake {

void runMainQueue() {
  while (runOneDueBy(queue().now)) {
  }
}

void advanceMainQueueClock(double seconds) {
  const double until = queue().now + seconds;
  while (runOneDueBy(until)) {
  }
  queue().now = until;
}

double mainQueueClock() { return queue().now; }

size_t pendingMainQueueBlocks() { return queue().blocks.size(); }

void resetMainQueue() {
  // Moved out first: a dropped block may hold what posts again as it goes.
  auto dropped = std::move(queue().blocks);
  queue().blocks.clear();
  queue().now = 0;
  dropped.clear();
}

}  // namespace fake

namespace port {

void dispatchOnMainQueue(std::function<void()> block) {
  Queue& q = queue();
  q.blocks.emplace(std::make_pair(q.now, q.posted++), std::move(block));
}

void dispatchOnMainQueueAfter(double seconds, std::function<void()> block) {
  Queue& q = queue();
  q.blocks.emplace(std::make_pair(q.now + seconds, q.posted++), std::move(block));
}

}  // namespace port

}  // namespace kestrovan
