// FilePromiseDragSession: one per begun drag. For its drag it is the dragging
// source and the delegate of every file-promise provider the drag carries (the
// platform reaches it through its peer, see port/dragging.h). It owns the
// JavaScript write-request callback's reference, the optional drag-ended
// callback's (the request's onEnded), and the bookkeeping of its open writes.
//
// Lifetime: activeSessions (active_sessions.h) holds it from just before its
// drag begins until an idle check finds the drag ended and no write open, or
// until the environment of its callback ends. Delayed blocks hold it weakly.
// Its teardown deletes the callback references, exactly once each (or the
// ending environment's teardown has released them already). The drag-ended
// callback is called at most once, at the end of the drag, and let go of
// right after that call.
#pragma once

#include <node_api.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bridge/stored_callback.h"
#include "drag/promise_item.h"
#include "port/dragging.h"
#include "port/geometry.h"
#include "port/progress.h"

namespace kestrovan {

class FilePromiseDragSession final : public port::DragSessionClient,
                                     public std::enable_shared_from_this<FilePromiseDragSession> {
 public:
  // Passes an optional error on to the completion handler AppKit supplied.
  using CompletionFunction = std::function<void(const std::optional<port::PromiseError>& error)>;

  // Takes ownership of the write callback and of the drag-ended callback
  // (none when the request has no onEnded) and writes the construction line.
  static std::shared_ptr<FilePromiseDragSession> create(std::string sessionId,
                                                        StoredCallbackPtr writeCallback,
                                                        int64_t expectedWriteCount,
                                                        StoredCallbackPtr endedCallback = nullptr);

  // Teardown: its line, then the callback references are deleted. A write still
  // open is answered here with the callback-failed error and its progress
  // withdrawn, so no drop target waits for an answer that can no longer come.
  ~FilePromiseDragSession() override;

  FilePromiseDragSession(const FilePromiseDragSession&) = delete;
  FilePromiseDragSession& operator=(const FilePromiseDragSession&) = delete;

  // The file-promise delegate (the write handshake).
  std::string filePromiseProviderFileNameForType(const port::FilePromiseProvider& provider,
                                                 const std::string& fileType) override;
  port::OperationQueue operationQueueForFilePromiseProvider(
      const port::FilePromiseProvider& provider) override;
  void filePromiseProviderWritePromiseToURL(
      const port::FilePromiseProvider& provider, const std::string& destinationPath,
      port::PromiseCompletionHandler completionHandler) override;

  // The dragging source.
  uint64_t draggingSessionSourceOperationMaskForDraggingContext(
      port::DraggingContext context) override;
  bool ignoreModifierKeysForDraggingSession() override;
  // The end line, the drag-ended callback (once, if any), the idle check.
  void draggingSessionEndedAtPoint(port::Point screenPoint, uint64_t operation) override;

  // One dragging item per item, in order, all showing one shared drag image;
  // `origin` is the drag origin in the source view's coordinates. None when
  // AppKit raised on the way (the exception is kept, port/platform_exception.h).
  std::vector<port::DraggingItemPtr> draggingItems(const std::vector<PromiseItemPtr>& items,
                                                   const std::optional<std::string>& iconPath,
                                                   port::Point origin);

  // Schedules one idle check 30 seconds from now; the check removes the
  // session from activeSessions when its drag has ended and no write is open.
  void finishIfIdleSoon();

  // Ends one open write: success without a message or with an empty one,
  // otherwise a promise error with the message. The progress is finished and
  // withdrawn, then AppKit's completion handler is called, then an idle check
  // is scheduled. A token without an open write is only logged.
  void completeToken(const std::string& token, const std::optional<std::string>& errorMessage);

  // Sets the open write's progress from a fraction (clamped to 0...1; NaN is
  // ignored). Nothing happens for a token without an open write.
  void updateProgress(const std::string& token, double fractionCompleted);

  // True while the write with this token is open.
  bool holdsToken(const std::string& token) const {
    return completionHandlersByToken_.count(token) != 0;
  }

  // An error for a drop target: the addon's own domain, code 1, the message as
  // its localized description.
  static port::PromiseError nativePromiseError(const std::string& message);

  // The environment of the write callback; none once it has been released.
  napi_env environment() const { return writeCallback_ ? writeCallback_->env() : nullptr; }
  // The environment is ending: the write and drag-ended callbacks are
  // released now, and never called. (The caller then takes the session out
  // of the registry.)
  void releaseCallbacks();

  const std::string& sessionId() const { return sessionId_; }
  // The object the platform holds as this session's source and delegate.
  const port::DragSessionPeerPtr& peer() const { return peer_; }
  size_t pendingCompletions() const { return completionHandlersByToken_.size(); }
  bool dragEnded() const { return dragEnded_; }

 private:
  FilePromiseDragSession(std::string sessionId, StoredCallbackPtr writeCallback,
                         StoredCallbackPtr endedCallback, int64_t expectedWriteCount);

  bool isIdle() const { return completionHandlersByToken_.empty() && dragEnded_; }

  // Hands one accepted write request to JavaScript (a main-queue block).
  void deliverWriteRequest(const PromiseItem& item, const std::string& destinationPath,
                           const std::string& token);
  // Calls the drag-ended callback with { operation, screenPoint: { x, y } },
  // then lets go of it; nothing when there is none.
  void reportEnded(port::Point screenPoint, uint64_t operation);
  // Removes the token's progress and hands it over; none when it has none.
  port::ProgressPtr takeProgress(const std::string& token);

  StoredCallbackPtr writeCallback_;
  StoredCallbackPtr endedCallback_;  // none: no onEnded, or already called
  std::string sessionId_;
  int64_t expectedWriteCount_;
  // One entry per open write, under its completion token; progressByToken_
  // has the same keys (entries are added and removed together).
  std::map<std::string, CompletionFunction> completionHandlersByToken_;
  std::map<std::string, port::ProgressPtr> progressByToken_;
  int64_t requestedWriteCount_ = 0;
  bool dragEnded_ = false;
  bool endedReported_ = false;  // the drag-ended callback's one call is made

  port::DragSessionPeerPtr peer_;
};

}  // namespace kestrovan
