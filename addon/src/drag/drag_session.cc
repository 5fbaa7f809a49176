#include "drag/drag_session.h"

#include <utility>

#include "bridge/native_log.h"
#include "drag/active_sessions.h"
#include "drag/drag_image.h"
#include "drag/dragging_frame.h"
#include "port/main_queue.h"

namespace kestrovan {

namespace {

// Seconds between the end of a drag (or a completed write) and the idle check.
constexpr double kIdleCheckDelaySeconds = 30.0;

// The name given for a provider that carries no item of ours.
constexpr const char* kDefaultPromisedFileName = "Kestrovan Download";

// Errors handed to drop targets: the addon's own domain, always code 1.
constexpr const char* kPromiseErrorDomain =
    "com.kestrovan.file-promise-drag.native-download-promise";

port::PromiseError promiseError(const std::string& message) {
  return {kPromiseErrorDomain, 1, message};
}

// Answers for a peer whose session has gone: nothing is offered, and a
// promise is refused at once so its drop target is not left waiting.
class DetachedDragSessionClient final : public port::DragSessionClient {
 public:
  std::string filePromiseProviderFileNameForType(const port::FilePromiseProvider&,
                                                 const std::string&) override {
    return kDefaultPromisedFileName;
  }
  port::OperationQueue operationQueueForFilePromiseProvider(
      const port::FilePromiseProvider&) override {
    return port::OperationQueue::kMain;
  }
  void filePromiseProviderWritePromiseToURL(const port::FilePromiseProvider&, const std::string&,
                                            port::PromiseCompletionHandler handler) override {
    if (handler) handler(promiseError("NATIVE_DOWNLOAD_PROMISE_CALLBACK_FAILED"));
  }
  uint64_t draggingSessionSourceOperationMaskForDraggingContext(port::DraggingContext) override {
    return port::drag_operation::kNone;
  }
  bool ignoreModifierKeysForDraggingSession() override { return true; }
  void draggingSessionEndedAtPoint(port::Point, uint64_t) override {}
};

}  // namespace

}  // namespace kestrovan

namespace kestrovan::port {

DragSessionClient& detachedDragSessionClient() {
  static auto* client = new DetachedDragSessionClient();
  return *client;
}

}  // namespace kestrovan::port

namespace kestrovan {

FilePromiseDragSession::FilePromiseDragSession(napi_env env, std::string sessionId,
                                               napi_ref writeCallbackRef,
                                               int64_t expectedWriteCount)
    : env_(env),
      writeCallbackRef_(writeCallbackRef),
      sessionId_(std::move(sessionId)),
      expectedWriteCount_(expectedWriteCount) {
  nativeLogLine("session init sessionId=", sessionId_, " expectedWriteCount=", expectedWriteCount_);
}

std::shared_ptr<FilePromiseDragSession> FilePromiseDragSession::create(napi_env env,
                                                                       std::string sessionId,
                                                                       napi_ref writeCallbackRef,
                                                                       int64_t expectedWriteCount) {
  std::shared_ptr<FilePromiseDragSession> session(
      new FilePromiseDragSession(env, std::move(sessionId), writeCallbackRef, expectedWriteCount));
  session->peer_ = port::makeDragSessionPeer(session);
  return session;
}

FilePromiseDragSession::~FilePromiseDragSession() {
  nativeLogLine("session dealloc sessionId=", sessionId_,
                " pendingCompletions=", pendingCompletions(),
                " requestedWriteCount=", requestedWriteCount_, " dragEnded=", dragEnded_);
  if (env_ != nullptr && writeCallbackRef_ != nullptr) {
    napi_delete_reference(env_, writeCallbackRef_);
    writeCallbackRef_ = nullptr;
  }
  // The maps, and the peer, are released with the members.
}

// ---- File-promise delegate ------------------------------------------------
//
// The write handshake answers these. Until it is in place a provider is named
// with the default and every write is refused at once, so no drop target
// waits for an answer that never comes.

std::string FilePromiseDragSession::filePromiseProviderFileNameForType(
    const port::FilePromiseProvider&, const std::string&) {
  return kDefaultPromisedFileName;
}

port::OperationQueue FilePromiseDragSession::operationQueueForFilePromiseProvider(
    const port::FilePromiseProvider&) {
  return port::OperationQueue::kMain;
}

void FilePromiseDragSession::filePromiseProviderWritePromiseToURL(
    const port::FilePromiseProvider&, const std::string&,
    port::PromiseCompletionHandler completionHandler) {
  if (completionHandler) completionHandler(promiseError("NATIVE_DOWNLOAD_PROMISE_CALLBACK_FAILED"));
}

// ---- Dragging source --------------------------------------------------------

uint64_t FilePromiseDragSession::draggingSessionSourceOperationMaskForDraggingContext(
    port::DraggingContext) {
  // Copy, both outside and inside the application.
  return port::drag_operation::kCopy;
}

bool FilePromiseDragSession::ignoreModifierKeysForDraggingSession() { return true; }

void FilePromiseDragSession::draggingSessionEndedAtPoint(port::Point screenPoint,
                                                         uint64_t operation) {
  dragEnded_ = true;
  nativeLogLine("dragging session ended sessionId=", sessionId_, " operation=", operation,
                " screenPoint=(", oneDecimal(screenPoint.x), ", ", oneDecimal(screenPoint.y),
                ") requestedWriteCount=", requestedWriteCount_,
                " pendingCompletions=", pendingCompletions());
  finishIfIdleSoon();
}

// ---- Own operations -----------------------------------------------------------

std::vector<port::DraggingItemPtr> FilePromiseDragSession::draggingItems(
    const std::vector<PromiseItemPtr>& items, const std::optional<std::string>& iconPath,
    port::Point origin) {
  std::optional<std::string> firstFileType;
  if (!items.empty()) firstFileType = items.front()->fileType;
  port::ImagePtr image = dragImage(iconPath, firstFileType, static_cast<int64_t>(items.size()));

  std::vector<port::DraggingItemPtr> draggingItems;
  draggingItems.reserve(items.size());
  for (size_t index = 0; index < items.size(); ++index) {
    const PromiseItemPtr& item = items[index];
    nativeLogLine("creating dragging item sessionId=", sessionId_, " index=", index,
                  " promiseId=", item->promiseId, " kind=", item->kind,
                  " suggestedName=", item->suggestedName, " fileType=", item->fileType,
                  " cachedFile=", item->filePath.has_value());
    // A cached file is dragged as itself: no promise, never a write request.
    port::PasteboardWriterPtr writer =
        item->filePath ? port::makeFileURLWriter(*item->filePath)
                       : port::makeFilePromiseProvider(item->fileType, peer_, item);
    port::DraggingItemPtr draggingItem = port::makeDraggingItem(writer);
    DraggingFrame frame = draggingFrameForItem(origin.x, origin.y, index);
    draggingItem->setDraggingFrame({frame.x, frame.y, frame.width, frame.height}, image);
    draggingItems.push_back(std::move(draggingItem));
  }
  return draggingItems;
}

void FilePromiseDragSession::finishIfIdleSoon() {
  std::weak_ptr<FilePromiseDragSession> weakSession = weak_from_this();
  port::dispatchOnMainQueueAfter(kIdleCheckDelaySeconds, [weakSession] {
    std::shared_ptr<FilePromiseDragSession> session = weakSession.lock();
    if (!session || !session->isIdle()) return;
    nativeLogLine("removing idle session sessionId=", session->sessionId_,
                  " requestedWriteCount=", session->requestedWriteCount_);
    removeFromActiveSessions(session.get());
    // The last hold may be `session`: teardown runs as the block ends.
  });
}

}  // namespace kestrovan
