#include "drag/dragging_items.h"

#include <cstdint>
#include <utility>

#include "bridge/native_log.h"
#include "drag/drag_image.h"
#include "drag/dragging_frame.h"
#include "port/platform_exception.h"

namespace kestrovan {

std::vector<port::DraggingItemPtr> draggingItems(const std::string& sessionId,
                                                 const port::DragSessionPeerPtr& peer,
                                                 const std::vector<PromiseItemPtr>& items,
                                                 const std::optional<std::string>& iconPath,
                                                 port::Point origin) {
  std::optional<std::string> firstFileType;
  if (!items.empty()) firstFileType = items.front()->fileType;
  port::ImagePtr image = dragImage(iconPath, firstFileType, static_cast<int64_t>(items.size()));
  if (port::platformExceptionPending()) return {};

  std::vector<port::DraggingItemPtr> draggingItems;
  draggingItems.reserve(items.size());
  for (size_t index = 0; index < items.size(); ++index) {
    const PromiseItemPtr& item = items[index];
    nativeLogLine("creating dragging item sessionId=", sessionId, " index=", index,
                  " promiseId=", item->promiseId, " kind=", item->kind,
                  " suggestedName=", item->suggestedName, " fileType=", item->fileType,
                  " cachedFile=", item->filePath.has_value());
    // A cached file is dragged as itself: no promise, never a write request.
    port::PasteboardWriterPtr writer =
        item->filePath ? port::makeFileURLWriter(*item->filePath)
                       : port::makeFilePromiseProvider(item->fileType, peer, item);
    if (port::platformExceptionPending()) return {};
    port::DraggingItemPtr draggingItem = port::makeDraggingItem(writer);
    if (port::platformExceptionPending() || !draggingItem) return {};
    draggingItem->setDraggingFrame(draggingFrameForItem(origin, index), image);
    if (port::platformExceptionPending()) return {};
    draggingItems.push_back(std::move(draggingItem));
  }
  return draggingItems;
}

}  // namespace kestrovan
