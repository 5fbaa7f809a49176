#include "drag/drag_session.h"

#include <utility>

#include "bridge/native_log.h"
#include "drag/active_sessions.h"
#include "drag/open_writes.h"
#include "drag/write_progress_math.h"
#include "port/main_queue.h"
#include "port/platform_exception.h"
#include "port/progress.h"

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
                                               DragSessionListenerPtr listener,
                                               int64_t expectedWriteCount)
    : listener_(std::move(listener)),
      sessionId_(std::move(sessionId)),
      expectedWriteCount_(expectedWriteCount) {
  nativeLogLine("session init sessionId=", sessionId_, " expectedWriteCount=", expectedWriteCount_);
}

std::shared_ptr<FilePromiseDragSession> FilePromiseDragSession::create(
    std::string sessionId, DragSessionListenerPtr listener, int64_t expectedWriteCount) {
  std::shared_ptr<FilePromiseDragSession> session(
      new FilePromiseDragSession(std::move(sessionId), std::move(listener), expectedWriteCount));
  session->peer_ = port::makeDragSessionPeer(
      session, std::make_shared<RetiredDragSessionClient>(session->sessionId_));
  return session;
}

FilePromiseDragSession::~FilePromiseDragSession() {
  nativeLogLine("session dealloc sessionId=", sessionId_,
                " pendingCompletions=", pendingCompletions(),
                " requestedWriteCount=", requestedWriteCount_, " dragEnded=", dragEnded_);
  listener_.reset();
  // A write still open can no longer be delivered or completed: answer its
  // drop target now, once, with the callback-failed error, and withdraw its
  // progress. The handlers go to the platform only; nothing here calls the
  // listener. The writes are closed first, so the calls find none open.
  for (auto& [token, write] : openWrites().closeAll(this)) {
    if (write.progress) finishProgress(*write.progress, false);
    nativeLogLine("completeToken invoking AppKit completion sessionId=", sessionId_,
                  " token=", token, " success=", false, " errorMessage=", kCallbackFailedMessage);
    if (write.completion) write.completion(promiseError(kCallbackFailedMessage));
  }
  // The peer is released with the members.
}

size_t FilePromiseDragSession::pendingCompletions() const {
  return openWrites().countOpenedBy(this);
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
    if (completionHandler) completionHandler(promiseError(kInvalidProviderMessage));
    return;
  }

  std::string token = port::makeRandomUuidString();
  ++requestedWriteCount_;
  port::ProgressPtr progress =
      port::makeFileDownloadProgress(destinationPath, kProgressTotalUnitCount);
  progress->publish();
  openWrites().open(token,
                    {weak_from_this(), this, std::move(completionHandler), std::move(progress)});

  nativeLogLine("Finder requested promised write sessionId=", sessionId_,
                " promiseId=", item->promiseId, " kind=", item->kind,
                " destination=", destinationPath, " token=", token);

  // The listener hears of it in a later turn of the main queue, never from
  // inside the platform's request.
  std::weak_ptr<FilePromiseDragSession> weakSession = weak_from_this();
  port::dispatchOnMainQueue([weakSession, item, destinationPath, token] {
    std::shared_ptr<FilePromiseDragSession> session = weakSession.lock();
    if (!session) return;
    // `session` keeps it alive while the listener runs, whatever the owner
    // does to the registry meanwhile.
    session->deliverWriteRequest(*item, destinationPath, token);
  });
}

void FilePromiseDragSession::releaseListener() {
  if (listener_) listener_->release();
}

void FilePromiseDragSession::deliverWriteRequest(const PromiseItem& item,
                                                 const std::string& destinationPath,
                                                 const std::string& token) {
  const bool delivered =
      listener_ &&
      listener_->writeRequested({sessionId_, item.promiseId, destinationPath, item.kind, token});
  if (!delivered) completeToken(token, std::string(kCallbackFailedMessage));
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
  if (!endReported_ && listener_) {
    // Marked before the call, so the listener hears of it once whatever its
    // owner does meanwhile. `self`: whatever the call sets off, this session
    // outlives it.
    endReported_ = true;
    std::shared_ptr<FilePromiseDragSession> self = shared_from_this();
    listener_->dragEnded({sessionId_, operation, screenPoint});
  }
  finishIfIdleSoon();
}

// ---- Own operations -----------------------------------------------------------

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

void FilePromiseDragSession::completeToken(std::string_view token,
                                           const std::optional<std::string>& errorMessage) {
  std::optional<OpenWrite> write = openWrites().close(token, this);
  if (!write) {
    nativeLogLine("completeToken ignored missing token sessionId=", sessionId_, " token=", token,
                  " errorMessage=", errorMessage);
    return;
  }

  const bool success = !errorMessage || errorMessage->empty();
  std::optional<port::PromiseError> error;
  if (!success) error = promiseError(*errorMessage);

  if (write->progress) finishProgress(*write->progress, success);

  nativeLogLine("completeToken invoking AppKit completion sessionId=", sessionId_, " token=", token,
                " success=", success, " errorMessage=", errorMessage);
  // Held for the call: whatever the handler sets off, this session outlives it.
  std::shared_ptr<FilePromiseDragSession> self = shared_from_this();
  if (write->completion) write->completion(error);
  // The write is answered and closed whatever AppKit raised on the way (the
  // progress's withdrawal, or the handler after answering): the exception is
  // logged here, taken so it makes no caller's answer a failure.
  if (std::optional<port::PlatformException> raised = port::takePlatformException()) {
    nativeLogLine("completeToken AppKit exception after answering sessionId=", sessionId_,
                  " token=", token, " name=", raised->name, " reason=", raised->reason);
  }
  finishIfIdleSoon();
}

void FilePromiseDragSession::updateProgress(std::string_view token, double fractionCompleted) {
  port::Progress* progress = openWrites().progressOf(token, this);
  if (progress == nullptr) return;
  std::optional<int64_t> units =
      completedUnitsForFraction(fractionCompleted, progress->totalUnitCount());
  if (!units) return;  // NaN: the count stays where it was
  progress->setCompletedUnitCount(*units);
}

}  // namespace kestrovan
