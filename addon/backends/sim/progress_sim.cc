#include "progress_sim.h"

#include <cstdio>
#include <random>

#include "desktop_sim.h"
#include "port/progress.h"

namespace kestrovan::sim {

std::vector<ProgressRecord>& progressRecords() {
  static auto* records = new std::vector<ProgressRecord>();
  return *records;
}

namespace {

ProgressRecord* recordById(uint64_t id) {
  for (auto& record : progressRecords()) {
    if (record.id == id) return &record;
  }
  return nullptr;
}

std::string fileUrlForPath(const std::string& path) {
  static const char* hex = "0123456789ABCDEF";
  std::string url = "file://";
  for (unsigned char c : path) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '/' || c == '-' || c == '_' || c == '.' || c == '~';
    if (plain) {
      url += static_cast<char>(c);
    } else {
      url += '%';
      url += hex[c >> 4];
      url += hex[c & 15];
    }
  }
  return url;
}

// A progress is addressed by its record's id: the records outlive the objects.
class SimProgress final : public port::Progress {
 public:
  explicit SimProgress(uint64_t id) : id_(id) {}
  int64_t totalUnitCount() const override { return record().totalUnitCount; }
  int64_t completedUnitCount() const override { return record().completedUnitCount; }
  void setCompletedUnitCount(int64_t count) override {
    ProgressRecord& r = record();
    r.completedUnitCount = count;
    r.completedHistory.push_back(count);
  }
  void publish() override {
    ProgressRecord& r = record();
    if (r.published) Desktop::instance().violation("publish: progress already published");
    r.published = true;
    r.everPublished = true;
  }
  void unpublish() override {
    // Raising, it leaves the progress published.
    if (Desktop::instance().raises("unpublish")) return;
    ProgressRecord& r = record();
    if (!r.published) Desktop::instance().violation("unpublish: progress is not published");
    r.published = false;
    r.unpublished = true;
  }

 private:
  ProgressRecord& record() const { return *recordById(id_); }
  uint64_t id_;
};

}  // namespace

}  // namespace kestrovan::sim

namespace kestrovan::port {

ProgressPtr makeFileDownloadProgress(const std::string& destinationPath, int64_t totalUnitCount) {
  static uint64_t nextId = 1;
  sim::ProgressRecord record;
  record.id = nextId++;
  record.fileUrl = sim::fileUrlForPath(destinationPath);
  record.kind = "NSProgressKindFile";
  record.fileOperationKind = "NSProgressFileOperationKindDownloading";
  record.totalUnitCount = totalUnitCount;
  sim::progressRecords().push_back(record);
  return std::make_unique<sim::SimProgress>(record.id);
}

std::string makeRandomUuidString() {
  // Version 4, variant 1, from the system's random source.
  static std::random_device* source = new std::random_device();
  unsigned char bytes[16];
  for (auto& b : bytes) b = static_cast<unsigned char>((*source)() & 0xFF);
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
  char text[37];
  std::snprintf(text, sizeof text,
                "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", bytes[0],
                bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
  return text;
}

}  // namespace kestrovan::port
