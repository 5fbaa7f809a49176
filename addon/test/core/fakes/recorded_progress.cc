#include "fakes/recorded_progress.h"

#include <cstdio>
#include <memory>

#include "port/progress.h"

namespace kestrovan {

namespace {

std::vector<std::shared_ptr<fake::ProgressRecord>>& records() {
  static std::vector<std::shared_ptr<fake::ProgressRecord>> made;
  return made;
}

int& uuidsIssued() {
  static int issued = 0;
  return issued;
}

class RecordedProgress final : public port::Progress {
 public:
  explicit RecordedProgress(std::shared_ptr<fake::ProgressRecord> record)
      : record_(std::move(record)) {}
  ~RecordedProgress() override { record_->destroyed = true; }

  int64_t totalUnitCount() const override { return record_->totalUnitCount; }
  int64_t completedUnitCount() const override { return record_->completedUnitCount; }
  void setCompletedUnitCount(int64_t count) override { record_->completedUnitCount = count; }
  void publish() override { ++record_->publishCount; }
  void unpublish() override { ++record_->unpublishCount; }

 private:
  std::shared_ptr<fake::ProgressRecord> record_;
};

}  // namespace

namespace fake {

const std::vector<ProgressRecord>& progressRecords() {
  static std::vector<ProgressRecord> copies;
  copies.clear();
  for (const auto& record : records()) copies.push_back(*record);
  return copies;
}

ProgressRecord progressFor(const std::string& destinationPath) {
  for (auto record = records().rbegin(); record != records().rend(); ++record) {
    if ((*record)->destinationPath == destinationPath) return **record;
  }
  return {};
}

void clearProgressRecords() { records().clear(); }

std::string uuidNumber(int n) {
  char text[40];
  std::snprintf(text, sizeof text, "00000000-0000-4000-8000-%012d", n);
  return text;
}

void resetUuids() { uuidsIssued() = 0; }

}  // namespace fake

namespace port {

ProgressPtr makeFileDownloadProgress(const std::string& destinationPath, int64_t totalUnitCount) {
  auto record = std::make_shared<fake::ProgressRecord>();
  record->destinationPath = destinationPath;
  record->totalUnitCount = totalUnitCount;
  records().push_back(record);
  return std::make_unique<RecordedProgress>(std::move(record));
}

std::string makeRandomUuidString() { return fake::uuidNumber(++uuidsIssued()); }

}  // namespace port

}  // namespace kestrovan
