#include "file_drops_sim.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <utility>

#include "desktop_sim.h"

namespace kestrovan::sim {

namespace {

using Kind = port::IncomingDragItem::Kind;

class SimDropZone final : public port::FileDropZone {
 public:
  const void* identity() const override { return this; }
  void setRect(port::Rect newRect) override { rect = newRect; }
  void close() override;

  uint64_t id = 0;
  int64_t windowNumber = 0;
  port::Rect rect;
  std::weak_ptr<port::FileDropZoneClient> client;
  bool closed = false;  // by the core
};

struct IncomingDrag {
  std::vector<IncomingItemSource> items;
  IncomingDragPlace place;
  port::Point point;
  bool ended = false;
};

// Process-lifetime state, never destroyed (as the desktop).
struct State {
  std::vector<std::shared_ptr<SimDropZone>> zones;  // open ones, in opening order
  uint64_t nextZoneId = 1;
  std::map<uint64_t, IncomingDrag> drags;
  uint64_t nextDragId = 1;
  std::map<int64_t, std::vector<WebContentsDragEvent>> webContents;
  std::vector<port::PromiseReceiptSinkPtr> neverAnswered;
};

State& state() {
  static auto* instance = new State();
  return *instance;
}

void SimDropZone::close() {
  closed = true;
  std::erase_if(state().zones, [this](const auto& zone) { return zone.get() == this; });
}

std::shared_ptr<SimDropZone> openZone(uint64_t id) {
  for (const auto& zone : state().zones) {
    if (zone->id == id) return zone;
  }
  return nullptr;
}

std::vector<port::IncomingDragItem> portItems(const std::vector<IncomingItemSource>& sources) {
  std::vector<port::IncomingDragItem> items;
  for (const auto& source : sources) {
    if (source.kind == Kind::kFile) {
      items.push_back(
          {Kind::kFile, std::filesystem::path(source.path).filename().string(), source.path});
    } else {
      items.push_back({Kind::kPromise, source.name, {}});
    }
  }
  return items;
}

void recordOnWebContents(uint64_t dragId, const IncomingDrag& drag, const char* type) {
  state().webContents[drag.place.windowNumber].push_back(
      {dragId, type, drag.point, portItems(drag.items)});
}

// Tells whatever the drag is over that it left.
void leave(uint64_t dragId, IncomingDrag& drag) {
  IncomingDragPlace was = std::exchange(drag.place, IncomingDragPlace{});
  if (was.target == "zone") {
    if (auto zone = openZone(was.zoneId)) {
      if (auto client = zone->client.lock()) client->fileDropZoneDragExited();
    }
  } else if (was.target == "webContents") {
    drag.place = was;
    recordOnWebContents(dragId, drag, "exit");
    drag.place = {};
  }
}

bool writeFile(const std::string& path, const std::string& contents) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return false;
  file << contents;
  return static_cast<bool>(file);
}

// The source of one promised file at work (see the header).
void startSource(const IncomingItemSource& source, const std::string& folder,
                 const port::PromiseReceiptSinkPtr& sink) {
  Desktop& desktop = Desktop::instance();
  const std::string path = folder + "/" + (source.name.empty() ? "Untitled" : source.name);
  const std::string half = source.contents.substr(0, source.contents.size() / 2);
  desktop.post(0, [path, half, linkTo = source.linkTo] {
    if (!linkTo.empty()) symlink(linkTo.c_str(), path.c_str());
    writeFile(path, half);
  });
  for (double fraction : source.progress) {
    desktop.post(source.delaySeconds * fraction,
                 [sink, fraction] { sink->promiseProgress(fraction); });
  }
  if (source.never) {
    state().neverAnswered.push_back(sink);
    return;
  }
  desktop.post(source.delaySeconds, [source, path, sink] {
    if (source.error) {
      sink->promiseFailed(*source.error);
      return;
    }
    // A source that outlives its drop writes where it was told, making the
    // folder again if it has gone (the worst case for the receiver).
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    if (!writeFile(path, source.contents)) {
      sink->promiseFailed("the source could not write " + path + ": " + std::strerror(errno));
      return;
    }
    sink->promiseReceived(path);
  });
}

class SimIncomingPromises final : public port::IncomingPromises {
 public:
  explicit SimIncomingPromises(const std::vector<IncomingItemSource>& items) : items_(items) {}
  void receive(size_t itemIndex, const std::string& folder,
               port::PromiseReceiptSinkPtr sink) override {
    if (itemIndex >= items_.size() || items_[itemIndex].kind != Kind::kPromise || !sink) {
      if (sink) {
        Desktop::instance().post(0, [sink, itemIndex] {
          sink->promiseFailed("item " + std::to_string(itemIndex) + " is not a promised file");
        });
      }
      return;
    }
    // AppKit: every receiver of a drag must be given the same destination.
    if (destination_.empty()) destination_ = folder;
    if (folder != destination_) {
      Desktop::instance().violation("receivePromisedFilesAtDestination: with " + folder +
                                    " after " + destination_ + " in the same drag");
      Desktop::instance().post(0, [sink, first = destination_, folder] {
        sink->promiseFailed(std::string(kDestinationsDiffer) + ": " + folder + " after " + first);
      });
      return;
    }
    startSource(items_[itemIndex], folder, sink);
  }

 private:
  const std::vector<IncomingItemSource>& items_;
  std::string destination_;  // the drop's first receive's
};

IncomingDrag* runningDrag(uint64_t dragId, std::string& error) {
  auto it = state().drags.find(dragId);
  if (it == state().drags.end() || it->second.ended) {
    error = "no incoming drag " + std::to_string(dragId) + " is running";
    return nullptr;
  }
  return &it->second;
}

}  // namespace

uint64_t beginIncomingDrag(std::vector<IncomingItemSource> items) {
  const uint64_t id = state().nextDragId++;
  state().drags[id].items = std::move(items);
  return id;
}

IncomingDragPlace moveIncomingDrag(uint64_t dragId, int64_t windowNumber, port::Point point,
                                   std::string& error) {
  IncomingDrag* drag = runningDrag(dragId, error);
  if (drag == nullptr) return {};
  auto window = Desktop::instance().window(windowNumber);
  if (!window) {
    error = "no window " + std::to_string(windowNumber);
    return {};
  }
  IncomingDragPlace next;
  const port::Rect content{0, 0, window->frame.width, window->frame.height};
  if (port::rectContainsPoint(content, point)) {
    next = {"webContents", 0, windowNumber};
    for (auto it = state().zones.rbegin(); it != state().zones.rend(); ++it) {
      if ((*it)->windowNumber == windowNumber && port::rectContainsPoint((*it)->rect, point)) {
        next = {"zone", (*it)->id, windowNumber};
        break;
      }
    }
  }
  const IncomingDragPlace& now = drag->place;
  const bool same = now.target == next.target && now.zoneId == next.zoneId &&
                    now.windowNumber == next.windowNumber;
  drag->point = point;  // an exit is told where the drag now is
  if (!same) leave(dragId, *drag);
  if (same) {
    if (next.target == "webContents") recordOnWebContents(dragId, *drag, "move");
    return next;
  }
  drag->place = next;
  if (next.target == "zone") {
    if (auto zone = openZone(next.zoneId)) {
      if (auto client = zone->client.lock()) client->fileDropZoneDragEntered();
    }
  } else if (next.target == "webContents") {
    recordOnWebContents(dragId, *drag, "enter");
  }
  return next;
}

IncomingDragPlace dropIncomingDrag(uint64_t dragId, std::string& error) {
  IncomingDrag* drag = runningDrag(dragId, error);
  if (drag == nullptr) return {};
  drag->ended = true;
  const IncomingDragPlace place = drag->place;
  if (place.target == "webContents") {
    recordOnWebContents(dragId, *drag, "drop");
  } else if (place.target == "zone") {
    auto zone = openZone(place.zoneId);
    auto client = zone ? zone->client.lock() : nullptr;
    if (client) {
      // The drag's items stay in the map for as long as the call lends them.
      SimIncomingPromises promises(drag->items);
      client->fileDropZoneDropped(drag->point, portItems(drag->items), promises);
    }
  }
  return place;
}

void cancelIncomingDrag(uint64_t dragId, std::string& error) {
  IncomingDrag* drag = runningDrag(dragId, error);
  if (drag == nullptr) return;
  drag->ended = true;
  leave(dragId, *drag);
}

std::vector<DropZoneInfo> dropZones() {
  std::vector<DropZoneInfo> out;
  for (const auto& zone : state().zones)
    out.push_back({zone->id, zone->windowNumber, zone->rect, true});
  return out;
}

std::vector<WebContentsDragEvent> webContentsDragEvents(int64_t windowNumber) {
  auto it = state().webContents.find(windowNumber);
  return it == state().webContents.end() ? std::vector<WebContentsDragEvent>{} : it->second;
}

size_t unansweredReceipts() { return state().neverAnswered.size(); }

void dropZonesWindowWillClose(int64_t windowNumber) {
  std::vector<std::shared_ptr<SimDropZone>> closing;
  for (const auto& zone : state().zones) {
    if (zone->windowNumber == windowNumber) closing.push_back(zone);
  }
  std::erase_if(state().zones,
                [windowNumber](const auto& zone) { return zone->windowNumber == windowNumber; });
  for (const auto& zone : closing) {
    Desktop::instance().post(0, [zone] {
      if (zone->closed) return;
      zone->closed = true;
      if (auto client = zone->client.lock()) client->fileDropZoneWindowClosed();
    });
  }
  state().webContents.erase(windowNumber);
}

void resetIncomingDrags() {
  std::vector<int64_t> windows;
  for (const auto& zone : state().zones) windows.push_back(zone->windowNumber);
  for (int64_t number : windows) dropZonesWindowWillClose(number);
  state().drags.clear();
  state().webContents.clear();
  state().neverAnswered.clear();
}

}  // namespace kestrovan::sim

namespace kestrovan::port {

FileDropZonePtr openFileDropZone(const WindowPtr& window, Rect rect,
                                 std::weak_ptr<FileDropZoneClient> client) {
  if (!window || !window->contentView()) return nullptr;
  auto zone = std::make_shared<sim::SimDropZone>();
  zone->id = sim::state().nextZoneId++;
  zone->windowNumber = window->windowNumber();
  zone->rect = rect;
  zone->client = std::move(client);
  sim::state().zones.push_back(zone);
  return zone;
}

}  // namespace kestrovan::port
