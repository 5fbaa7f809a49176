#include "drag/active_sessions.h"

#include <algorithm>

#include "drag/drag_session.h"

namespace kestrovan {

SessionList& activeSessions() {
  static auto* sessions = new SessionList();
  return *sessions;
}

std::shared_ptr<FilePromiseDragSession> sessionHoldingToken(const std::string& token) {
  for (const auto& session : activeSessions()) {
    if (session->holdsToken(token)) return session;
  }
  return nullptr;
}

void removeFromActiveSessions(const FilePromiseDragSession* session) {
  SessionList& sessions = activeSessions();
  SessionList removed;
  auto kept = std::stable_partition(sessions.begin(), sessions.end(),
                                    [&](const auto& entry) { return entry.get() != session; });
  std::move(kept, sessions.end(), std::back_inserter(removed));
  sessions.erase(kept, sessions.end());
  // `removed` goes here, after the list no longer names the session.
}

}  // namespace kestrovan
