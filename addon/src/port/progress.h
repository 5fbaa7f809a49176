// The published progress of one promised write (NSProgress): observers of
// published file progress, such as the Finder, show it on the destination.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace kestrovan::port {

class Progress {
 public:
  virtual ~Progress() = default;
  virtual int64_t totalUnitCount() const = 0;
  virtual int64_t completedUnitCount() const = 0;
  virtual void setCompletedUnitCount(int64_t count) = 0;
  virtual void publish() = 0;
  virtual void unpublish() = 0;
};

using ProgressPtr = std::unique_ptr<Progress>;

// A progress for a file download to `destinationPath`: the given total, kind
// file, file operation kind downloading, neither cancellable nor pausable.
// Not yet published.
ProgressPtr makeFileDownloadProgress(const std::string& destinationPath, int64_t totalUnitCount);

// A fresh random UUID in its canonical upper-case text form (36 characters).
std::string makeRandomUuidString();

}  // namespace kestrovan::port
