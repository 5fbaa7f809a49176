#include "drag/active_sessions.h"

#include <algorithm>
#include <unordered_map>

#include "bridge/environment_teardown.h"
#include "drag/drag_session.h"

namespace kestrovan {

SessionList& activeSessions() {
  static auto* sessions = new SessionList();
  return *sessions;
}

namespace {

// Allocated once and never destroyed, like the list.
std::unordered_map<std::string, const FilePromiseDragSession*>& tokenOwners() {
  static auto* owners = new std::unordered_map<std::string, const FilePromiseDragSession*>();
  return *owners;
}

}  // namespace

void noteTokenOpened(const std::string& token, const FilePromiseDragSession* owner) {
  tokenOwners()[token] = owner;
}

void noteTokenClosed(const std::string& token) { tokenOwners().erase(token); }

std::shared_ptr<FilePromiseDragSession> sessionHoldingToken(const std::string& token) {
  // Tokens are unique, so the one session that holds it is the first match
  // when it is registered, and there is none when it is not.
  auto owner = tokenOwners().find(token);
  if (owner == tokenOwners().end()) return nullptr;
  for (const auto& session : activeSessions()) {
    if (session.get() == owner->second && session->holdsToken(token)) return session;
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

void endDragSessions(napi_env env) {
  // A copy: each removal changes the list, and teardown calls out to the
  // platform (the drop targets' handlers).
  SessionList ending;
  for (const auto& session : activeSessions()) {
    if (session->environment() == env) ending.push_back(session);
  }
  for (const auto& session : ending) {
    session->releaseCallbacks();
    removeFromActiveSessions(session.get());
  }
  // The sessions' teardown runs as `ending` goes: each open write is answered
  // with the callback-failed error and its progress withdrawn.
}

}  // namespace kestrovan
