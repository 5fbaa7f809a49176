// openWrites: the process-wide registry of open promised writes, one entry
// per completion token. A write request that a drag session accepts opens an
// entry (drag_session.h); exactly one answer closes it: the completion
// JavaScript reports (completePromiseWrite), a delivery that failed, or the
// teardown of the session that opened it. The token exports find a write here
// and nowhere else, and a session counts its open writes here.
//
// Everything runs on the main thread.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "port/dragging.h"
#include "port/progress.h"

namespace kestrovan {

class FilePromiseDragSession;

struct OpenWrite {
  // The session that opened it, weakly: the registry never keeps one alive.
  std::weak_ptr<FilePromiseDragSession> session;
  // The same session by identity, for its teardown, when `session` can no
  // longer be locked.
  const FilePromiseDragSession* opener = nullptr;
  // AppKit's completion handler, as it came with the request.
  port::PromiseCompletionHandler completion;
  // The write's progress, published while the write is open.
  port::ProgressPtr progress;
};

class OpenWrites {
 public:
  // Opens the write under `token` (a fresh one: tokens are never reused).
  void open(const std::string& token, OpenWrite write);

  // The session whose write is open under `token`, held for the caller; none
  // when no write is open under it or its session has left activeSessions.
  std::shared_ptr<FilePromiseDragSession> sessionOf(std::string_view token) const;

  // The progress of the write `opener` opened under `token`; none otherwise.
  port::Progress* progressOf(std::string_view token, const FilePromiseDragSession* opener) const;

  // Closes the write `opener` opened under `token` and hands it over; none,
  // and nothing changes, when `opener` has no write open under it.
  std::optional<OpenWrite> close(std::string_view token, const FilePromiseDragSession* opener);

  // Closes every write `opener` opened and hands them over, in token order.
  std::vector<std::pair<std::string, OpenWrite>> closeAll(const FilePromiseDragSession* opener);

  // The number of writes `opener` has open.
  size_t countOpenedBy(const FilePromiseDragSession* opener) const;

  bool empty() const { return writes_.empty(); }

 private:
  // Hashed, and looked up by any text: a token is found without a string made
  // for it, at the same cost however many writes are open.
  struct TokenHash {
    using is_transparent = void;
    // (Not noexcept: so the table keeps each hash rather than computing it again.)
    size_t operator()(std::string_view token) const;
  };
  std::unordered_map<std::string, OpenWrite, TokenHash, std::equal_to<>> writes_;
};

// The one registry. Allocated once and never destroyed: no handler is called
// by a static destructor after the JavaScript environment has gone.
OpenWrites& openWrites();

// What completePromiseWrite does once it has read its arguments: the write
// open under `token` is found, then its session completes it
// (FilePromiseDragSession::completeToken). False when none is open under it.
bool completeOpenWrite(std::string_view token, const std::optional<std::string>& errorMessage);

// What updatePromiseWriteProgress does once it has read its arguments: the
// write open under `token` has its progress set from the fraction
// (FilePromiseDragSession::updateProgress). False when none is open under it.
bool updateOpenWriteProgress(std::string_view token, double fractionCompleted);

}  // namespace kestrovan
