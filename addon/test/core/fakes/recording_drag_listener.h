// A drag session's listener (drag/drag_session_listener.h) that records what
// it hears. Its record outlives it, so a test can see what reached it after
// the session (and the listener with it) has gone.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "drag/drag_session_listener.h"

namespace kestrovan::fake {

struct ListenerRecord {
  std::vector<WriteRequest> writeRequests;
  std::vector<DragEnd> dragEnds;
  int releaseCount = 0;
  bool destroyed = false;
  // What writeRequested answers.
  bool delivers = true;
  // Runs inside writeRequested, before it answers (as JavaScript may complete
  // the write from inside its callback).
  std::function<void(const WriteRequest&)> duringDelivery;
};

class RecordingDragListener final : public DragSessionListener {
 public:
  RecordingDragListener(const void* owner, std::shared_ptr<ListenerRecord> record)
      : owner_(owner), record_(std::move(record)) {}
  ~RecordingDragListener() override { record_->destroyed = true; }

  bool writeRequested(const WriteRequest& request) override {
    record_->writeRequests.push_back(request);
    if (record_->duringDelivery) record_->duringDelivery(request);
    return record_->delivers;
  }
  void dragEnded(const DragEnd& end) override { record_->dragEnds.push_back(end); }
  const void* owner() const override { return released_ ? nullptr : owner_; }
  void release() override {
    released_ = true;
    ++record_->releaseCount;
  }

 private:
  const void* owner_;
  bool released_ = false;
  std::shared_ptr<ListenerRecord> record_;
};

}  // namespace kestrovan::fake
