#include "drag/drag_session.h"

#include <utility>

#include "bridge/native_log.h"
#include "bridge/value_helpers.h"
#include "drag/active_sessions.h"
#include "drag/drag_image.h"
#include "drag/dragging_frame.h"
#include "drag/write_progress_math.h"
#include "port/main_queue.h"
#include "port/platform_exception.h"

namespace kestrovan {

namespace {

// Seconds between the end of a drag (or a completed write) and the idle check.
constexpr double kIdleCheckDelaySeconds = 30.0;

// The name given for a provider that carries no item of ours.
constexpr const char* kDefaultPromisedFileName = "Kestrovan Download";

// Errors handed to drop targets: the addon's own domain, always code 1.
constexpr const char* kPromiseErrorDomain =
    "com.kestrovan.file-promise-drag.native-download-promise";

// The two errors of the addon's own making; JavaScript's messages are the others.
constexpr const char* kInvalidProviderMessage = "NATIVE_DOWNLOAD_PROMISE_INVALID_PROVIDER";
constexpr const char* kCallbackFailedMessage = "NATIVE_DOWNLOAD_PROMISE_CALLBACK_FAILED";

// Every write's progress counts to this.
constexpr int64_t kProgressTotalUnitCount = 1000;

port::PromiseError promiseError(const std::string& message) {
  return {kPromiseErrorDomain, 1, message};
}

// The item a provider of ours carries; none for another provider or an empty one.
PromiseItemPtr carriedItem(const port::FilePromiseProvider& provider) {
  return provider.isKestrovanProvider() ? provider.kestrovanItem() : nullptr;
}

// A finished write's progress: at its total after a success, at the last
// reported count after a failure; withdrawn either way.
void finishProgress(port::Progress& progress, bool success) {
  if (success) progress.setCompletedUnitCount(progress.totalUnitCount());
  progress.unpublish();
}

// Answers for a peer whose session has retired (left the registry and gone):
// the peer lives on as long as a provider of its drag, so a drop target may
// still ask. Nothing is offered, and a write request is answered at once with
// the callback-failed error and one line, so its drop target is not left
// waiting.
class RetiredDragSessionClient final : public port::DragSessionClient {
 public:
  explicit RetiredDragSessionClient(std::string sessionId) : sessionId_(std::move(sessionId)) {}

  std::string filePromiseProviderFileNameForType(const port::FilePromiseProvider& provider,
                                                 const std::string&) override {
    PromiseItemPtr item = carriedItem(provider);
    return item ? item->suggestedName : kDefaultPromisedFileName;
  }
  port::OperationQueue operationQueueForFilePromiseProvider(
      const port::FilePromiseProvider&) override {
    return port::OperationQueue::kMain;
  }
  void filePromiseProviderWritePromiseToURL(const port::FilePromiseProvider& provider,
                                            const std::string&,
                                            port::PromiseCompletionHandler handler) override {
    PromiseItemPtr item = carriedItem(provider);
    nativeLogLine("late write request after session retired sessionId=", sessionId_,
                  " promiseId=", item ? item->promiseId : std::string());
    if (handler) handler(promiseError(kCallbackFailedMessage));
  }
  uint64_t draggingSessionSourceOperationMaskForDraggingContext(port::DraggingContext) override {
    return port::drag_operation::kNone;
  }
  bool ignoreModifierKeysForDraggingSession() override { return true; }
  void draggingSessionEndedAtPoint(port::Point, uint64_t) override {}

 private:
  std::string sessionId_;
};

}  // namespace

FilePromiseDragSession::FilePromiseDragSession(std::string sessionId,
                                               StoredCallbackPtr writeCallback,
                                               StoredCallbackPtr endedCallback,
                                               int64_t expectedWriteCount)
    : writeCallback_(std::move(writeCallback)),
      endedCallback_(std::move(endedCallback)),
      sessionId_(std::move(sessionId)),
      expectedWriteCount_(expectedWriteCount) {
  nativeLogLine("session init sessionId=", sessionId_, " expectedWriteCount=", expectedWriteCount_);
}

std::shared_ptr<FilePromiseDragSession> FilePromiseDragSession::create(
    std::string sessionId, StoredCallbackPtr writeCallback, int64_t expectedWriteCount,
    StoredCallbackPtr endedCallback) {
  std::shared_ptr<FilePromiseDragSession> session(
      new FilePromiseDragSession(std::move(sessionId), std::move(writeCallback),
                                 std::move(endedCallback), expectedWriteCount));
  session->peer_ = port::makeDragSessionPeer(
      session, std::make_shared<RetiredDragSessionClient>(session->sessionId_));
  return session;
}

FilePromiseDragSession::~FilePromiseDragSession() {
  nativeLogLine("session dealloc sessionId=", sessionId_,
                " pendingCompletions=", pendingCompletions(),
                " requestedWriteCount=", requestedWriteCount_, " dragEnded=", dragEnded_);
  writeCallback_.reset();
  endedCallback_.reset();
  // A write still open can no longer be delivered or completed: answer its
  // drop target now, once, with the callback-failed error, and withdraw its
  // progress. The handlers go to the platform only; nothing here calls
  // JavaScript. The maps are taken first, so the calls see this session empty.
  auto openWrites = std::move(completionHandlersByToken_);
  auto openProgress = std::move(progressByToken_);
  completionHandlersByToken_.clear();
  progressByToken_.clear();
  for (auto& [token, completion] : openWrites) {
    noteTokenClosed(token);
    auto progress = openProgress.find(token);
    if (progress != openProgress.end() && progress->second) {
      finishProgress(*progress->second, false);
    }
    nativeLogLine("completeToken invoking AppKit completion sessionId=", sessionId_,
                  " token=", token, " success=", false, " errorMessage=", kCallbackFailedMessage);
    if (completion) completion(promiseError(kCallbackFailedMessage));
  }
  // The peer is released with the members.
}

// ---- File-promise delegate ------------------------------------------------

std::string FilePromiseDragSession::filePromiseProviderFileNameForType(
    const port::FilePromiseProvider& provider, const std::string& fileType) {
  PromiseItemPtr item = carriedItem(provider);
  if (!item) return kDefaultPromisedFileName;
  nativeLogLine("Finder requested promised file name sessionId=", sessionId_,
                " promiseId=", item->promiseId, " fileType=", fileType,
                " suggestedName=", item->suggestedName);
  return item->suggestedName;
}

port::OperationQueue FilePromiseDragSession::operationQueueForFilePromiseProvider(
    const port::FilePromiseProvider&) {
  // Every write request then arrives on the main thread.
  return port::OperationQueue::kMain;
}

void FilePromiseDragSession::filePromiseProviderWritePromiseToURL(
    const port::FilePromiseProvider& provider, const std::string& destinationPath,
    port::PromiseCompletionHandler completionHandler) {
  PromiseItemPtr item = carriedItem(provider);
  if (!item) {
    // Refused at once; nothing is logged or kept.
    if (completionHandler) completionHandler(nativePromiseError(kInvalidProviderMessage));
    return;
  }

  std::string token = port::makeRandomUuidString();
  ++requestedWriteCount_;
  completionHandlersByToken_[token] =
      [handler = std::move(completionHandler)](const std::optional<port::PromiseError>& error) {
        if (handler) handler(error);
      };
  noteTokenOpened(token, this);
  port::ProgressPtr progress =
      port::makeFileDownloadProgress(destinationPath, kProgressTotalUnitCount);
  progress->publish();
  progressByToken_[token] = std::move(progress);

  nativeLogLine("Finder requested promised write sessionId=", sessionId_,
                " promiseId=", item->promiseId, " kind=", item->kind,
                " destination=", destinationPath, " token=", token);

  // JavaScript hears of it in a later turn of the main queue, never from
  // inside the platform's request.
  std::weak_ptr<FilePromiseDragSession> weakSession = weak_from_this();
  port::dispatchOnMainQueue([weakSession, item, destinationPath, token] {
    std::shared_ptr<FilePromiseDragSession> session = weakSession.lock();
    if (!session) return;
    // `session` keeps it alive while JavaScript runs, whatever JavaScript does
    // to the registry meanwhile.
    session->deliverWriteRequest(*item, destinationPath, token);
  });
}

void FilePromiseDragSession::releaseCallbacks() {
  if (writeCallback_) writeCallback_->release();
  if (endedCallback_) endedCallback_->release();
}

void FilePromiseDragSession::deliverWriteRequest(const PromiseItem& item,
                                                 const std::string& destinationPath,
                                                 const std::string& token) {
  // A released callback (its environment has ended) is never called.
  napi_env env = environment();
  napi_handle_scope scope = nullptr;
  const bool scopeOpened = env != nullptr && napi_open_handle_scope(env, &scope) == napi_ok;
  napi_value payload = nullptr;
  const bool built = scopeOpened && napi_create_object(env, &payload) == napi_ok &&
                     setStringProperty(env, payload, "sessionId", sessionId_) &&
                     setStringProperty(env, payload, "promiseId", item.promiseId) &&
                     setStringProperty(env, payload, "destinationPath", destinationPath) &&
                     setStringProperty(env, payload, "destinationKind", item.kind) &&
                     setStringProperty(env, payload, "completionToken", token);
  if (!built) {
    if (scopeOpened) napi_close_handle_scope(env, scope);
    nativeLogLine("failed to create JS write-request payload sessionId=", sessionId_,
                  " promiseId=", item.promiseId, " token=", token);
    completeToken(token, std::string(kCallbackFailedMessage));
    return;
  }

  // Outside every export: an exception the callback throws becomes an
  // uncaught exception of the process and leaves nothing pending behind.
  // JavaScript may complete this very write (or others) before it returns.
  const napi_status status = writeCallback_->call(1, &payload, nullptr);
  napi_close_handle_scope(env, scope);

  if (status != napi_ok) {
    nativeLogLine("JS write-request callback failed sessionId=", sessionId_,
                  " promiseId=", item.promiseId, " token=", token,
                  " napiStatus=", static_cast<unsigned>(status));
    completeToken(token, std::string(kCallbackFailedMessage));
    return;
  }
  nativeLogLine("JS write-request callback delivered sessionId=", sessionId_,
                " promiseId=", item.promiseId, " destination=", destinationPath);
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
  reportEnded(screenPoint, operation);
  finishIfIdleSoon();
}

void FilePromiseDragSession::reportEnded(port::Point screenPoint, uint64_t operation) {
  // Marked before the call, so it is called once whatever JavaScript does
  // meanwhile; kept in the session until the call returns, so an environment
  // ending during the call still releases it (and it is let go of once).
  // `self`: whatever the callback sets off, this session outlives the call.
  if (endedReported_ || !endedCallback_ || endedCallback_->env() == nullptr) return;
  endedReported_ = true;
  std::shared_ptr<FilePromiseDragSession> self = shared_from_this();
  StoredCallback& callback = *endedCallback_;
  napi_env env = callback.env();
  napi_handle_scope scope = nullptr;
  if (napi_open_handle_scope(env, &scope) != napi_ok) {
    endedCallback_.reset();
    return;
  }
  napi_value ended = nullptr;
  napi_value point = nullptr;
  const bool built = napi_create_object(env, &ended) == napi_ok &&
                     napi_create_object(env, &point) == napi_ok &&
                     setNumberProperty(env, point, "x", screenPoint.x) &&
                     setNumberProperty(env, point, "y", screenPoint.y) &&
                     setNumberProperty(env, ended, "operation", static_cast<double>(operation)) &&
                     napi_set_named_property(env, ended, "screenPoint", point) == napi_ok;
  if (!built) {
    nativeLogLine("failed to create JS drag-ended payload sessionId=", sessionId_);
  } else {
    // A throw becomes an uncaught exception of the process (js_call.h);
    // nothing else depends on the call.
    callback.call(1, &ended, nullptr);
  }
  napi_close_handle_scope(env, scope);
  endedCallback_.reset();
}

// ---- Own operations -----------------------------------------------------------

std::vector<port::DraggingItemPtr> FilePromiseDragSession::draggingItems(
    const std::vector<PromiseItemPtr>& items, const std::optional<std::string>& iconPath,
    port::Point origin) {
  std::optional<std::string> firstFileType;
  if (!items.empty()) firstFileType = items.front()->fileType;
  port::ImagePtr image = dragImage(iconPath, firstFileType, static_cast<int64_t>(items.size()));
  if (port::platformExceptionPending()) return {};

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
    if (port::platformExceptionPending()) return {};
    port::DraggingItemPtr draggingItem = port::makeDraggingItem(writer);
    if (port::platformExceptionPending() || !draggingItem) return {};
    draggingItem->setDraggingFrame(draggingFrameForItem(origin, index), image);
    if (port::platformExceptionPending()) return {};
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

void FilePromiseDragSession::completeToken(const std::string& token,
                                           const std::optional<std::string>& errorMessage) {
  auto entry = completionHandlersByToken_.find(token);
  if (entry == completionHandlersByToken_.end()) {
    nativeLogLine("completeToken ignored missing token sessionId=", sessionId_, " token=", token,
                  " errorMessage=", errorMessage);
    return;
  }
  CompletionFunction completion = std::move(entry->second);
  completionHandlersByToken_.erase(entry);
  noteTokenClosed(token);

  const bool success = !errorMessage || errorMessage->empty();
  std::optional<port::PromiseError> error;
  if (!success) error = nativePromiseError(*errorMessage);

  port::ProgressPtr progress = takeProgress(token);
  if (progress) finishProgress(*progress, success);

  nativeLogLine("completeToken invoking AppKit completion sessionId=", sessionId_, " token=", token,
                " success=", success, " errorMessage=", errorMessage);
  // Held for the call: whatever the handler sets off, this session outlives it.
  std::shared_ptr<FilePromiseDragSession> self = shared_from_this();
  if (completion) completion(error);
  finishIfIdleSoon();
}

void FilePromiseDragSession::updateProgress(const std::string& token, double fractionCompleted) {
  auto entry = progressByToken_.find(token);
  if (entry == progressByToken_.end() || !entry->second) return;
  port::Progress& progress = *entry->second;
  std::optional<int64_t> units =
      completedUnitsForFraction(fractionCompleted, progress.totalUnitCount());
  if (!units) return;  // NaN: the count stays where it was
  progress.setCompletedUnitCount(*units);
}

port::PromiseError FilePromiseDragSession::nativePromiseError(const std::string& message) {
  return promiseError(message);
}

port::ProgressPtr FilePromiseDragSession::takeProgress(const std::string& token) {
  auto entry = progressByToken_.find(token);
  if (entry == progressByToken_.end()) return nullptr;
  port::ProgressPtr progress = std::move(entry->second);
  progressByToken_.erase(entry);
  return progress;
}

}  // namespace kestrovan
