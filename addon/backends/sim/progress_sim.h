// Published progress on the simulated desktop: every progress the addon makes
// is kept with its settings and the history of its completed counts, so tests
// can watch it as the Finder would.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrovan::sim {

struct ProgressRecord {
  uint64_t id = 0;
  std::string fileUrl;  // file:// URL of the destination
  std::string kind;
  std::string fileOperationKind;
  bool cancellable = false;
  bool pausable = false;
  int64_t totalUnitCount = 0;
  int64_t completedUnitCount = 0;
  bool published = false;
  bool everPublished = false;
  bool unpublished = false;
  std::vector<int64_t> completedHistory;  // every count set, in order
};

// All progress objects made so far, oldest first. Lives for the process.
std::vector<ProgressRecord>& progressRecords();

}  // namespace kestrovan::sim
