// FilePromiseDragSession: one per begun drag. For its drag it is the dragging
// source and the delegate of every file-promise provider the drag carries (the
// platform reaches it through its peer, see port/dragging.h). It owns its
// listener (drag_session_listener.h), through which the one that began the
// drag hears of each write request and of the drag's end. Its open writes are
// kept in openWrites (open_writes.h), under their tokens.
//
// Lifetime: activeSessions (active_sessions.h) holds it from just before its
// drag begins until an idle check finds the drag ended and no write open, or
// until its listener's owner ends. Delayed blocks hold it weakly. Its teardown
// destroys the listener and answers every write still open. The listener
// hears of the drag's end at most once.
//
// Everything runs on the main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "drag/drag_session_listener.h"
#include "drag/promise_item.h"
#include "port/dragging.h"
#include "port/geometry.h"

namespace kestrovan {

class FilePromiseDragSession final : public port::DragSessionClient,
                                     public std::enable_shared_from_this<FilePromiseDragSession> {
 public:
  // Takes ownership of the listener and writes the construction line.
  static std::shared_ptr<FilePromiseDragSession> create(std::string sessionId,
                                                        DragSessionListenerPtr listener,
                                                        int64_t expectedWriteCount);

  // Teardown: its line, then the listener is destroyed. A write still open is
  // answered here with the callback-failed error and its progress withdrawn,
  // so no drop target waits for an answer that can no longer come.
  ~FilePromiseDragSession() override;

  FilePromiseDragSession(const FilePromiseDragSession&) = delete;
  FilePromiseDragSession& operator=(const FilePromiseDragSession&) = delete;

  // The file-promise delegate (the write handshake).
  std::string filePromiseProviderFileNameForType(const port::FilePromiseProvider& provider,
                                                 const std::string& fileType) override;
  port::OperationQueue operationQueueForFilePromiseProvider(
      const port::FilePromiseProvider& provider) override;
  // Opens the write in openWrites under a fresh token, publishes its progress
  // and hands it to the listener from a later main-queue block.
  void filePromiseProviderWritePromiseToURL(
      const port::FilePromiseProvider& provider, const std::string& destinationPath,
      port::PromiseCompletionHandler completionHandler) override;

  // The dragging source.
  uint64_t draggingSessionSourceOperationMaskForDraggingContext(
      port::DraggingContext context) override;
  bool ignoreModifierKeysForDraggingSession() override;
  // The end line, the listener's dragEnded (once), the idle check.
  void draggingSessionEndedAtPoint(port::Point screenPoint, uint64_t operation) override;

  // Schedules one idle check 30 seconds from now; the check removes the
  // session from activeSessions when its drag has ended and no write of its
  // own is open.
  void finishIfIdleSoon();

  // Closes the write this session opened under `token` and answers it:
  // success without a message or with an empty one, otherwise a promise error
  // with the message. The progress is finished and withdrawn, then AppKit's
  // completion handler is called, then an idle check is scheduled. A token
  // without an open write of this session is only logged.
  void completeToken(std::string_view token, const std::optional<std::string>& errorMessage);

  // Sets the progress of the write this session opened under `token` from a
  // fraction (clamped to 0...1; NaN is ignored). Nothing happens for another
  // token.
  void updateProgress(std::string_view token, double fractionCompleted);

  // Who began the drag (the listener's owner); none once released.
  const void* owner() const { return listener_ ? listener_->owner() : nullptr; }
  // The owner is ending: the listener lets go of what it holds now and is
  // never called again. (The caller then takes the session out of the
  // registry.)
  void releaseListener();

  const std::string& sessionId() const { return sessionId_; }
  // The object the platform holds as this session's source and delegate.
  const port::DragSessionPeerPtr& peer() const { return peer_; }
  // Its writes open in openWrites.
  size_t pendingCompletions() const;
  bool dragEnded() const { return dragEnded_; }
  // True from addToActiveSessions until removeFromActiveSessions.
  bool inActiveSessions() const { return inActiveSessions_; }

 private:
  friend void addToActiveSessions(const std::shared_ptr<FilePromiseDragSession>& session);
  friend void removeFromActiveSessions(const FilePromiseDragSession* session);

  FilePromiseDragSession(std::string sessionId, DragSessionListenerPtr listener,
                         int64_t expectedWriteCount);

  bool isIdle() const { return dragEnded_ && pendingCompletions() == 0; }

  // Hands one accepted write request to the listener (a main-queue block);
  // answers it with the callback-failed error when it could not be delivered.
  void deliverWriteRequest(const PromiseItem& item, const std::string& destinationPath,
                           const std::string& token);

  DragSessionListenerPtr listener_;
  std::string sessionId_;
  int64_t expectedWriteCount_;
  int64_t requestedWriteCount_ = 0;
  bool dragEnded_ = false;
  bool endReported_ = false;  // the listener has heard of the drag's end
  bool inActiveSessions_ = false;

  port::DragSessionPeerPtr peer_;
};

}  // namespace kestrovan
