#include "fakes/recorded_file_drops.h"

#include <fstream>
#include <utility>

namespace kestrovan {

namespace fake {

bool refuseDropZones = false;

std::vector<std::shared_ptr<RecordedDropZone>>& openedDropZones() {
  static std::vector<std::shared_ptr<RecordedDropZone>> zones;
  return zones;
}

void resetDropZones() {
  openedDropZones().clear();
  refuseDropZones = false;
}

void RecordedPromises::receive(size_t itemIndex, const std::string& folder,
                               port::PromiseReceiptSinkPtr sink) {
  started.push_back({itemIndex, folder, sink});
  if (answerFirstAtOnce && started.size() == 1) {
    const std::string path = folder + "/at-once.txt";
    std::ofstream(path) << "at once";
    sink->promiseReceived(path);
  }
}

}  // namespace fake

namespace port {

FileDropZonePtr openFileDropZone(const WindowPtr& window, Rect rect,
                                 std::weak_ptr<FileDropZoneClient> client) {
  if (fake::refuseDropZones) return nullptr;
  auto zone = std::make_shared<fake::RecordedDropZone>();
  zone->client = std::move(client);
  zone->window = window;
  zone->rects.push_back(rect);
  fake::openedDropZones().push_back(zone);
  return zone;
}

}  // namespace port

}  // namespace kestrovan
