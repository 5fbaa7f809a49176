// activeSessions: the process-wide ordered list of live drag sessions. It
// holds each strongly; lookups go in order and take the first match.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace kestrovan {

class FilePromiseDragSession;

using SessionList = std::vector<std::shared_ptr<FilePromiseDragSession>>;

// Allocated once and never destroyed: no session is torn down by a static
// destructor after the JavaScript environment has gone.
SessionList& activeSessions();

// The first registered session with an open write under `token`, held for the
// caller; none when no registered session holds it. A session that has left
// the list is never found.
std::shared_ptr<FilePromiseDragSession> sessionHoldingToken(const std::string& token);

// Which session holds each open write's token, so a lookup costs one hash
// and a walk over the list's pointers instead of a search of every session's
// writes. Sessions keep it current: noted when a write opens, forgotten when
// it closes or its session is torn down.
void noteTokenOpened(const std::string& token, const FilePromiseDragSession* owner);
void noteTokenClosed(const std::string& token);

// Removes every entry that is `session` (by identity); the others keep their
// order. A session that this releases for the last time is torn down only
// after the list is consistent again.
void removeFromActiveSessions(const FilePromiseDragSession* session);

}  // namespace kestrovan
