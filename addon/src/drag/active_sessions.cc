#include "drag/active_sessions.h"

#include <algorithm>
#include <iterator>

#include "drag/drag_session.h"

namespace kestrovan {

SessionList& activeSessions() {
  static auto* sessions = new SessionList();
  return *sessions;
}

void addToActiveSessions(const std::shared_ptr<FilePromiseDragSession>& session) {
  session->inActiveSessions_ = true;
  activeSessions().push_back(session);
}

void removeFromActiveSessions(const FilePromiseDragSession* session) {
  SessionList& sessions = activeSessions();
  SessionList removed;
  auto kept = std::stable_partition(sessions.begin(), sessions.end(),
                                    [&](const auto& entry) { return entry.get() != session; });
  std::move(kept, sessions.end(), std::back_inserter(removed));
  sessions.erase(kept, sessions.end());
  for (const auto& entry : removed) entry->inActiveSessions_ = false;
  // `removed` goes here, after the list no longer names the session.
}

void endDragSessionsOwnedBy(const void* owner) {
  // A copy: each removal changes the list, and teardown calls out to the
  // platform (the drop targets' handlers).
  SessionList ending;
  for (const auto& session : activeSessions()) {
    if (session->owner() == owner) ending.push_back(session);
  }
  for (const auto& session : ending) {
    session->releaseListener();
    removeFromActiveSessions(session.get());
  }
  // The sessions' teardown runs as `ending` goes: each open write is answered
  // with the callback-failed error and its progress withdrawn.
}

}  // namespace kestrovan
