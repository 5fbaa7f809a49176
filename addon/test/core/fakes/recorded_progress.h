// Recording stand-ins for the platform's write progress and UUIDs
// (port/progress.h). Each progress made is recorded under its destination:
// what was published and withdrawn, and where its count ended. UUIDs are
// issued in sequence, so a test knows each token before it is given.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrovan::fake {

struct ProgressRecord {
  std::string destinationPath;
  int64_t totalUnitCount = 0;
  int64_t completedUnitCount = 0;
  int publishCount = 0;
  int unpublishCount = 0;
  bool destroyed = false;
};

// Every progress made since the last clear, in order of making.
const std::vector<ProgressRecord>& progressRecords();
// The record of the last progress made for `destinationPath`; an empty
// record when none was.
ProgressRecord progressFor(const std::string& destinationPath);
void clearProgressRecords();

// The UUID that the n-th call (from 1) since the last reset gives:
// "00000000-0000-4000-8000-" and n in 12 decimal digits.
std::string uuidNumber(int n);
void resetUuids();

}  // namespace kestrovan::fake
