// Published progress and random identifiers on Foundation.

#import <Foundation/Foundation.h>

#include "exceptions_mac.h"
#include "port/progress.h"

namespace kestrovan::port {

namespace {

class MacProgress final : public Progress {
 public:
  explicit MacProgress(NSProgress* progress) : progress_(progress) {}
  int64_t totalUnitCount() const override { return progress_.totalUnitCount; }
  int64_t completedUnitCount() const override { return progress_.completedUnitCount; }
  void setCompletedUnitCount(int64_t count) override {
    mac::catchingExceptions([&] { progress_.completedUnitCount = count; });
  }
  void publish() override {
    mac::catchingExceptions([&] { [progress_ publish]; });
  }
  void unpublish() override {
    mac::catchingExceptions([&] { [progress_ unpublish]; });
  }

 private:
  NSProgress* __strong progress_;
};

}  // namespace

ProgressPtr makeFileDownloadProgress(const std::string& destinationPath, int64_t totalUnitCount) {
  NSString* path = [[NSString alloc] initWithBytes:destinationPath.data()
                                            length:destinationPath.size()
                                          encoding:NSUTF8StringEncoding];
  // Discrete: progressWithTotalUnitCount: would adopt whatever progress is
  // current on this thread as an implicit parent.
  NSProgress* progress = mac::catchingExceptions<NSProgress*>(nil, [&] {
    NSProgress* made = [NSProgress discreteProgressWithTotalUnitCount:totalUnitCount];
    made.kind = NSProgressKindFile;
    made.fileOperationKind = NSProgressFileOperationKindDownloading;
    if (path != nil) made.fileURL = [NSURL fileURLWithPath:path];
    made.cancellable = NO;
    made.pausable = NO;
    return made;
  });
  // The core needs an object; one that could not be set up is published as is.
  if (progress == nil) progress = [NSProgress discreteProgressWithTotalUnitCount:totalUnitCount];
  return std::make_unique<MacProgress>(progress);
}

std::string makeRandomUuidString() { return NSUUID.UUID.UUIDString.UTF8String; }

}  // namespace kestrovan::port
