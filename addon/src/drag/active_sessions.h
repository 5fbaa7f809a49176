// activeSessions: the process-wide ordered list of live drag sessions. It
// holds each strongly. A session's open writes are found through openWrites
// (open_writes.h), and only while the session is in this list.
//
// Everything runs on the main thread.
#pragma once

#include <memory>
#include <vector>

namespace kestrovan {

class FilePromiseDragSession;

using SessionList = std::vector<std::shared_ptr<FilePromiseDragSession>>;

// Allocated once and never destroyed: no session is torn down by a static
// destructor after the JavaScript environment has gone.
SessionList& activeSessions();

// Appends the session (once: just before its drag begins).
void addToActiveSessions(const std::shared_ptr<FilePromiseDragSession>& session);

// Removes every entry that is `session` (by identity); the others keep their
// order. A session that this releases for the last time is torn down only
// after the list is consistent again.
void removeFromActiveSessions(const FilePromiseDragSession* session);

// The owner of these sessions is ending: each of its sessions lets go of what
// its listener holds and leaves the list at once; the ones this releases for
// the last time are torn down, answering their open writes.
void endDragSessionsOwnedBy(const void* owner);

}  // namespace kestrovan
