// When a drag session leaves activeSessions: 30 seconds after its drag has
// ended or a write of its own was completed, at the first such check that
// finds the drag ended and no write of its own open; at once when its owner
// ends.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "drag_session_fixture.h"

namespace kestrovan {
namespace {

using IdleRule = DragSessionTest;

bool registered(const FilePromiseDragSession* session) {
  return std::any_of(activeSessions().begin(), activeSessions().end(),
                     [&](const auto& entry) { return entry.get() == session; });
}

// Runs the clock to `until` (seconds since the test began).
void runUntil(double until) { fake::advanceMainQueueClock(until - fake::mainQueueClock()); }

TEST_F(IdleRule, ASessionLeavesThirtySecondsAfterTheLastOfItsDragsEndAndItsWrites) {
  // Each step: at `at` seconds, end the drag or complete the n-th write.
  struct Step {
    double at;
    int completes;  // 0: the drag ends
  };
  struct Case {
    const char* name;
    int writes;
    std::vector<Step> steps;
    double removedAt;
  };
  const std::vector<Case> cases = {
      {"no write", 0, {{0, 0}}, 30},
      {"a write open when the drag ends", 1, {{0, 0}, {40, 1}}, 70},
      {"writes done before the drag ends", 2, {{5, 1}, {10, 2}, {50, 0}}, 80},
      {"a second completion within 30 seconds of the first", 2, {{0, 0}, {35, 1}, {50, 2}}, 65},
      {"the first completion's check finds the other write open",
       2,
       {{0, 0}, {10, 1}, {45, 2}},
       75},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    BegunSession a = begin("s1");
    FilePromiseDragSession* session = a.session.get();
    std::vector<Answers> answers;
    for (int n = 1; n <= c.writes; ++n) {
      answers.push_back(
          requestWrite(session->peer(), "p" + std::to_string(n), "/dest/" + std::to_string(n)));
    }
    fake::runMainQueue();
    std::weak_ptr<FilePromiseDragSession> weak = a.session;
    a.session.reset();  // held by the registry alone from here

    for (const Step& step : c.steps) {
      runUntil(step.at);
      ASSERT_TRUE(registered(session)) << "removed before " << step.at;
      if (step.completes == 0) {
        session->draggingSessionEndedAtPoint({1, 2}, 1);
      } else {
        EXPECT_TRUE(completeOpenWrite(fake::uuidNumber(step.completes), std::nullopt));
      }
    }
    runUntil(c.removedAt - 0.5);
    EXPECT_TRUE(registered(session)) << "removed before " << c.removedAt;
    fake::clearDiagnosticLines();
    runUntil(c.removedAt);
    EXPECT_FALSE(registered(session)) << "still registered at " << c.removedAt;
    EXPECT_TRUE(weak.expired());
    const std::string requested = std::to_string(c.writes);
    EXPECT_EQ(lines(),
              std::vector<std::string>({
                  "removing idle session sessionId=s1 requestedWriteCount=" + requested,
                  "session dealloc sessionId=s1 pendingCompletions=0 requestedWriteCount=" +
                      requested + " dragEnded=YES",
              }));
    for (const Answers& answer : answers) EXPECT_EQ(answer->size(), 1u);
    TearDown();
  }
}

TEST_F(IdleRule, AWriteNeverCompletedKeepsItsSessionRegistered) {
  BegunSession a = begin("s1");
  Answers answers = requestWrite(a.session->peer(), "p1", "/dest/p1");
  fake::runMainQueue();
  a.session->draggingSessionEndedAtPoint({0, 0}, 1);
  fake::advanceMainQueueClock(3600);
  EXPECT_TRUE(registered(a.session.get()));
  EXPECT_TRUE(answers->empty());
  EXPECT_TRUE(completeOpenWrite(fake::uuidNumber(1), std::nullopt));
}

TEST_F(IdleRule, TheListenerHearsOfTheDragsEndOnce) {
  BegunSession a = begin("s1");
  a.session->draggingSessionEndedAtPoint({10, 20.25}, 1);
  a.session->draggingSessionEndedAtPoint({11, 21}, 0);
  ASSERT_EQ(a.listener->dragEnds.size(), 1u);
  EXPECT_EQ(a.listener->dragEnds[0].sessionId, "s1");
  EXPECT_EQ(a.listener->dragEnds[0].operation, 1u);
  EXPECT_EQ(a.listener->dragEnds[0].screenPoint.x, 10);
  EXPECT_EQ(a.listener->dragEnds[0].screenPoint.y, 20.25);
  EXPECT_EQ(lines()[1],
            "dragging session ended sessionId=s1 operation=1 screenPoint=(10.0, 20.2) "
            "requestedWriteCount=0 pendingCompletions=0");
}

TEST_F(IdleRule, AnEndingOwnersSessionsLeaveAtOnceAndAnswerTheirOpenWrites) {
  BegunSession a = begin("A", kOwner);
  BegunSession b = begin("B", kOtherOwner);
  BegunSession c = begin("C", kOwner);
  Answers answerA = requestWrite(a.session->peer(), "pa", "/dest/a");
  Answers answerB = requestWrite(b.session->peer(), "pb", "/dest/b");
  std::weak_ptr<FilePromiseDragSession> weakA = a.session;
  std::weak_ptr<FilePromiseDragSession> weakC = c.session;
  a.session.reset();
  c.session.reset();
  fake::clearDiagnosticLines();

  endDragSessionsOwnedBy(kOwner);

  EXPECT_TRUE(weakA.expired());
  EXPECT_TRUE(weakC.expired());
  ASSERT_EQ(activeSessions().size(), 1u);
  EXPECT_EQ(activeSessions()[0], b.session);
  EXPECT_EQ(a.listener->releaseCount, 1);
  EXPECT_EQ(c.listener->releaseCount, 1);
  EXPECT_EQ(b.listener->releaseCount, 0);
  EXPECT_EQ(*answerA,
            (std::vector<std::optional<port::PromiseError>>{promiseError(kCallbackFailed)}));
  EXPECT_EQ(fake::progressFor("/dest/a").unpublishCount, 1);
  EXPECT_EQ(
      lines(),
      std::vector<std::string>({
          "session dealloc sessionId=A pendingCompletions=1 requestedWriteCount=1 "
          "dragEnded=NO",
          "completeToken invoking AppKit completion sessionId=A token=" + fake::uuidNumber(1) +
              " success=NO errorMessage=NATIVE_DOWNLOAD_PROMISE_CALLBACK_FAILED",
          "session dealloc sessionId=C pendingCompletions=0 requestedWriteCount=0 "
          "dragEnded=NO",
      }));

  fake::runMainQueue();  // A's delivery finds its session gone; B's arrives
  EXPECT_TRUE(a.listener->writeRequests.empty());
  EXPECT_EQ(b.listener->writeRequests.size(), 1u);
  EXPECT_TRUE(answerB->empty());
  EXPECT_TRUE(completeOpenWrite(fake::uuidNumber(2), std::nullopt));
}

}  // namespace
}  // namespace kestrovan
