// What the drag core's tests share: sessions begun with a recording listener
// and registered as startPromiseDrag registers them, write requests sent
// through a session's peer as the platform sends them, and the lines and
// answers they leave. Each test starts from an empty registry, queue and log,
// and must leave no write open.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "drag/active_sessions.h"
#include "drag/drag_session.h"
#include "drag/open_writes.h"
#include "fakes/fake_dragging.h"
#include "fakes/manual_main_queue.h"
#include "fakes/recorded_diagnostics.h"
#include "fakes/recorded_progress.h"
#include "fakes/recording_drag_listener.h"

namespace kestrovan::port {

inline bool operator==(const port::PromiseError& a, const port::PromiseError& b) {
  return a.domain == b.domain && a.code == b.code &&
         a.localizedDescription == b.localizedDescription;
}

inline void PrintTo(const port::PromiseError& error, std::ostream* out) {
  *out << "{" << error.domain << ", " << error.code << ", " << error.localizedDescription << "}";
}

}  // namespace kestrovan::port

namespace kestrovan {

inline constexpr const char* kCallbackFailed = "NATIVE_DOWNLOAD_PROMISE_CALLBACK_FAILED";
inline constexpr const char* kErrorDomain =
    "com.kestrovan.file-promise-drag.native-download-promise";

// Every answer one drop target received for one write, in order.
using Answers = std::shared_ptr<std::vector<std::optional<port::PromiseError>>>;

struct BegunSession {
  std::shared_ptr<FilePromiseDragSession> session;
  std::shared_ptr<fake::ListenerRecord> listener;
};

class DragSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::resetMainQueue();
    fake::clearDiagnosticLines();
    fake::clearProgressRecords();
    fake::resetUuids();
  }

  void TearDown() override {
    while (!activeSessions().empty()) removeFromActiveSessions(activeSessions().front().get());
    fake::resetMainQueue();
    EXPECT_TRUE(openWrites().empty()) << "a write was left open";
    openWrites() = OpenWrites();  // so that a write left open fails this test alone
  }

  // A session of `owner`, registered.
  static BegunSession begin(const std::string& sessionId, const void* owner = kOwner) {
    auto record = std::make_shared<fake::ListenerRecord>();
    auto session = FilePromiseDragSession::create(
        sessionId, std::make_unique<fake::RecordingDragListener>(owner, record), 2);
    addToActiveSessions(session);
    return {session, record};
  }

  // A write request for a promised file, sent through the peer; the answers
  // its drop target receives.
  static Answers requestWrite(const port::DragSessionPeerPtr& peer, const std::string& promiseId,
                              const std::string& destination) {
    auto answers = std::make_shared<std::vector<std::optional<port::PromiseError>>>();
    auto provider =
        fake::FilePromiseProvider::carrying(fake::promisedFile(promiseId, promiseId + ".txt"));
    fake::clientOf(peer)->filePromiseProviderWritePromiseToURL(
        provider, destination,
        [answers](const std::optional<port::PromiseError>& error) { answers->push_back(error); });
    return answers;
  }

  // The lines written since the test began (or the last clear), without the tag.
  static std::vector<std::string> lines() {
    std::vector<std::string> messages;
    for (const std::string& line : fake::diagnosticLines()) {
      messages.push_back(line.substr(std::string("[KestrovanNativeFilePromise] ").size()));
    }
    return messages;
  }

  static port::PromiseError promiseError(const std::string& message) {
    return {kErrorDomain, 1, message};
  }

  // Two owners, known by their addresses (as the bridge's are environments).
  static inline const char kOwners[2] = {'a', 'b'};
  static inline const void* const kOwner = &kOwners[0];
  static inline const void* const kOtherOwner = &kOwners[1];
};

}  // namespace kestrovan
