// A recording fake of the port's drop zones (port/file_drops.h): every zone
// the core opens is kept with what the core asked of it, and the test plays
// the platform: it calls the zone's client and answers the receipts.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "port/file_drops.h"

namespace kestrovan::fake {

class RecordedDropZone final : public port::FileDropZone {
 public:
  const void* identity() const override { return this; }
  void setRect(port::Rect rect) override { rects.push_back(rect); }
  void close() override { ++closeCalls; }

  std::weak_ptr<port::FileDropZoneClient> client;
  port::WindowPtr window;
  std::vector<port::Rect> rects;  // the opening rectangle first
  int closeCalls = 0;
};

// Every zone opened since the last reset, oldest first.
std::vector<std::shared_ptr<RecordedDropZone>>& openedDropZones();
// While set, openFileDropZone gives none.
extern bool refuseDropZones;
void resetDropZones();

// The promises of one drop as the test hands them to the client: each
// receive() is recorded; with `answerFirstAtOnce` set, the first receipt is answered
// from inside receive() with that path (a platform breaking the port's
// later-turn rule, which the core must survive).
class RecordedPromises final : public port::IncomingPromises {
 public:
  struct Started {
    size_t itemIndex;
    std::string folder;
    port::PromiseReceiptSinkPtr sink;
  };
  void receive(size_t itemIndex, const std::string& folder,
               port::PromiseReceiptSinkPtr sink) override;

  std::vector<Started> started;
  bool answerFirstAtOnce = false;
};

}  // namespace kestrovan::fake
