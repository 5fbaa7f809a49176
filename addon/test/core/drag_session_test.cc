// The write handshake of a drag session: a write request opens one write in
// the registry and reaches the listener once; exactly one answer closes it.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "drag_session_fixture.h"

namespace kestrovan {
namespace {

using WriteHandshake = DragSessionTest;

TEST_F(WriteHandshake, ARequestOpensOneWriteAndReachesTheListenerOnceFromTheMainQueue) {
  BegunSession a = begin("s1");
  const std::string token = fake::uuidNumber(1);
  Answers answers = requestWrite(a.session->peer(), "p1", "/dest/p1.txt");

  EXPECT_EQ(a.session->pendingCompletions(), 1u);
  EXPECT_EQ(openWrites().sessionOf(token), a.session);
  fake::ProgressRecord progress = fake::progressFor("/dest/p1.txt");
  EXPECT_EQ(progress.totalUnitCount, 1000);
  EXPECT_EQ(progress.publishCount, 1);
  EXPECT_TRUE(a.listener->writeRequests.empty()) << "never from inside the platform's request";

  fake::runMainQueue();
  fake::runMainQueue();
  ASSERT_EQ(a.listener->writeRequests.size(), 1u);
  const WriteRequest& request = a.listener->writeRequests[0];
  EXPECT_EQ(std::vector<std::string>({request.sessionId, request.promiseId, request.destinationPath,
                                      request.destinationKind, request.completionToken}),
            std::vector<std::string>({"s1", "p1", "/dest/p1.txt", "file", token}));
  EXPECT_TRUE(answers->empty()) << "open until completed";
  EXPECT_EQ(lines(), std::vector<std::string>({
                         "session init sessionId=s1 expectedWriteCount=2",
                         "Finder requested promised write sessionId=s1 promiseId=p1 kind=file "
                         "destination=/dest/p1.txt token=" +
                             token,
                     }));

  // A provider that is not ours is refused at once; nothing opens or is written.
  fake::clearDiagnosticLines();
  std::vector<std::optional<port::PromiseError>> refused;
  fake::clientOf(a.session->peer())
      ->filePromiseProviderWritePromiseToURL(
          fake::FilePromiseProvider::foreign(), "/dest/other",
          [&](const std::optional<port::PromiseError>& error) { refused.push_back(error); });
  EXPECT_EQ(refused, (std::vector<std::optional<port::PromiseError>>{
                         promiseError("NATIVE_DOWNLOAD_PROMISE_INVALID_PROVIDER")}));
  EXPECT_EQ(a.session->pendingCompletions(), 1u);
  EXPECT_TRUE(lines().empty());

  EXPECT_TRUE(completeOpenWrite(token, std::nullopt));
}

TEST_F(WriteHandshake, ACompletionAnswersTheDropTargetOnceAndWithdrawsTheProgress) {
  struct Case {
    std::optional<std::string> message;
    std::optional<port::PromiseError> answer;
    int64_t finalCount;  // after 0.4 was reported
    std::string successLine;
  };
  const std::vector<Case> cases = {
      {std::nullopt, std::nullopt, 1000, "success=YES errorMessage="},
      {std::string(), std::nullopt, 1000, "success=YES errorMessage="},
      {std::string("disk full"), promiseError("disk full"), 400,
       "success=NO errorMessage=disk full"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.successLine);
    SetUp();
    BegunSession a = begin("s1");
    const std::string token = fake::uuidNumber(1);
    Answers answers = requestWrite(a.session->peer(), "p1", "/dest/p1.txt");
    fake::runMainQueue();
    EXPECT_TRUE(updateOpenWriteProgress(token, 0.4));
    fake::clearDiagnosticLines();

    EXPECT_TRUE(completeOpenWrite(token, c.message));
    EXPECT_EQ(*answers, (std::vector<std::optional<port::PromiseError>>{c.answer}));
    fake::ProgressRecord progress = fake::progressFor("/dest/p1.txt");
    EXPECT_EQ(progress.completedUnitCount, c.finalCount);
    EXPECT_EQ(progress.unpublishCount, 1);
    EXPECT_EQ(a.session->pendingCompletions(), 0u);
    EXPECT_EQ(lines(), std::vector<std::string>(
                           {"completeToken invoking AppKit completion sessionId=s1 token=" + token +
                            " " + c.successLine}));

    // The token is closed: a second completion or an update finds nothing.
    EXPECT_FALSE(completeOpenWrite(token, std::string("again")));
    EXPECT_FALSE(updateOpenWriteProgress(token, 0.9));
    EXPECT_EQ(answers->size(), 1u);
    EXPECT_EQ(fake::progressFor("/dest/p1.txt").completedUnitCount, c.finalCount);
    EXPECT_EQ(lines().size(), 1u);
    TearDown();
  }
}

TEST_F(WriteHandshake, AWriteThatCannotBeDeliveredIsAnsweredCallbackFailedOnce) {
  struct Case {
    const char* name;
    bool delivers;
    bool completedDuringDelivery;
    std::optional<port::PromiseError> answer;
    std::string lastLine;
  };
  const std::string token = fake::uuidNumber(1);
  const std::vector<Case> cases = {
      {"not delivered", false, false, promiseError(kCallbackFailed),
       "completeToken invoking AppKit completion sessionId=s1 token=" + token +
           " success=NO errorMessage=NATIVE_DOWNLOAD_PROMISE_CALLBACK_FAILED"},
      // The owner completed it from inside the call that then failed: the
      // one answer is the completion's.
      {"completed, then failed", false, true, std::nullopt,
       "completeToken ignored missing token sessionId=s1 token=" + token +
           " errorMessage=NATIVE_DOWNLOAD_PROMISE_CALLBACK_FAILED"},
      {"completed during a delivery", true, true, std::nullopt,
       "completeToken invoking AppKit completion sessionId=s1 token=" + token +
           " success=YES errorMessage="},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    BegunSession a = begin("s1");
    a.listener->delivers = c.delivers;
    if (c.completedDuringDelivery) {
      a.listener->duringDelivery = [](const WriteRequest& request) {
        completeOpenWrite(request.completionToken, std::nullopt);
      };
    }
    Answers answers = requestWrite(a.session->peer(), "p1", "/dest/p1.txt");
    fake::runMainQueue();

    EXPECT_EQ(*answers, (std::vector<std::optional<port::PromiseError>>{c.answer}));
    EXPECT_EQ(fake::progressFor("/dest/p1.txt").unpublishCount, 1);
    EXPECT_EQ(a.session->pendingCompletions(), 0u);
    EXPECT_EQ(lines().back(), c.lastLine);
    EXPECT_FALSE(completeOpenWrite(token, std::nullopt));
    TearDown();
  }
}

TEST_F(WriteHandshake, TeardownAnswersEveryOpenWriteOnceWithdrawsItsProgressAndCallsNoListener) {
  std::vector<Answers> answers;
  std::shared_ptr<fake::ListenerRecord> listener;
  {
    // Not registered, as no path but teardown ends a session with writes open.
    auto record = std::make_shared<fake::ListenerRecord>();
    auto session = FilePromiseDragSession::create(
        "torn-down", std::make_unique<fake::RecordingDragListener>(kOwner, record), 2);
    listener = record;
    answers.push_back(requestWrite(session->peer(), "p1", "/dest/one.txt"));
    answers.push_back(requestWrite(session->peer(), "p2", "/dest/two.txt"));
    fake::clearDiagnosticLines();
  }  // the last hold: teardown runs here

  for (const Answers& answer : answers) {
    EXPECT_EQ(*answer,
              (std::vector<std::optional<port::PromiseError>>{promiseError(kCallbackFailed)}));
  }
  for (const char* destination : {"/dest/one.txt", "/dest/two.txt"}) {
    fake::ProgressRecord progress = fake::progressFor(destination);
    EXPECT_EQ(progress.publishCount, 1);
    EXPECT_EQ(progress.unpublishCount, 1);
    EXPECT_EQ(progress.completedUnitCount, 0);
    EXPECT_TRUE(progress.destroyed);
  }
  const std::string answered = " success=NO errorMessage=NATIVE_DOWNLOAD_PROMISE_CALLBACK_FAILED";
  EXPECT_EQ(lines(), std::vector<std::string>({
                         "session dealloc sessionId=torn-down pendingCompletions=2 "
                         "requestedWriteCount=2 dragEnded=NO",
                         "completeToken invoking AppKit completion sessionId=torn-down token=" +
                             fake::uuidNumber(1) + answered,
                         "completeToken invoking AppKit completion sessionId=torn-down token=" +
                             fake::uuidNumber(2) + answered,
                     }));
  EXPECT_TRUE(listener->destroyed);

  fake::runMainQueue();  // the deliveries find the session gone
  EXPECT_TRUE(listener->writeRequests.empty());
  EXPECT_EQ(answers[0]->size(), 1u);
  EXPECT_EQ(answers[1]->size(), 1u);
  EXPECT_FALSE(completeOpenWrite(fake::uuidNumber(1), std::nullopt));
}

TEST_F(WriteHandshake, AWriteIsAnsweredOnlyThroughTheSessionThatOpenedIt) {
  BegunSession a = begin("A");
  BegunSession b = begin("B");
  Answers answerA = requestWrite(a.session->peer(), "pa", "/dest/a.txt");
  Answers answerB = requestWrite(b.session->peer(), "pb", "/dest/b.txt");
  const std::string tokenA = fake::uuidNumber(1);
  const std::string tokenB = fake::uuidNumber(2);
  fake::runMainQueue();
  fake::clearDiagnosticLines();

  // B's token handed to A: A has no such write, and B's stays open.
  a.session->completeToken(tokenB, std::string("wrong session"));
  a.session->updateProgress(tokenB, 0.7);
  EXPECT_TRUE(answerB->empty());
  EXPECT_EQ(fake::progressFor("/dest/b.txt").completedUnitCount, 0);
  EXPECT_EQ(b.session->pendingCompletions(), 1u);
  EXPECT_EQ(lines(), std::vector<std::string>({"completeToken ignored missing token sessionId=A "
                                               "token=" +
                                               tokenB + " errorMessage=wrong session"}));

  fake::clearDiagnosticLines();
  EXPECT_TRUE(updateOpenWriteProgress(tokenB, 0.25));
  EXPECT_TRUE(completeOpenWrite(tokenB, std::string("B failed")));
  EXPECT_EQ(*answerB, (std::vector<std::optional<port::PromiseError>>{promiseError("B failed")}));
  EXPECT_EQ(fake::progressFor("/dest/b.txt").completedUnitCount, 250);
  EXPECT_TRUE(answerA->empty());
  EXPECT_EQ(fake::progressFor("/dest/a.txt").unpublishCount, 0);
  EXPECT_EQ(a.session->pendingCompletions(), 1u);
  EXPECT_EQ(b.session->pendingCompletions(), 0u);
  EXPECT_EQ(lines(), std::vector<std::string>({"completeToken invoking AppKit completion "
                                               "sessionId=B token=" +
                                               tokenB + " success=NO errorMessage=B failed"}));

  EXPECT_TRUE(completeOpenWrite(tokenA, std::nullopt));
  EXPECT_EQ(*answerA, (std::vector<std::optional<port::PromiseError>>{std::nullopt}));
}

TEST_F(WriteHandshake, AWriteIsFoundOnlyWhileItsSessionIsInActiveSessions) {
  BegunSession a = begin("s1");
  Answers answers = requestWrite(a.session->peer(), "p1", "/dest/p1.txt");
  const std::string token = fake::uuidNumber(1);
  removeFromActiveSessions(a.session.get());  // still held here

  EXPECT_FALSE(completeOpenWrite(token, std::nullopt));
  EXPECT_FALSE(updateOpenWriteProgress(token, 0.5));
  EXPECT_TRUE(answers->empty());

  a.session.reset();  // its teardown answers the write
  EXPECT_EQ(*answers,
            (std::vector<std::optional<port::PromiseError>>{promiseError(kCallbackFailed)}));
}

TEST_F(WriteHandshake, ALateRequestToARetiredSessionsPeerIsAnsweredOnceAtOnce) {
  BegunSession a = begin("s1");
  port::DragSessionPeerPtr peer = a.session->peer();  // as a provider of the drag holds it
  a.session->draggingSessionEndedAtPoint({0, 0}, 0);
  a.session.reset();
  fake::advanceMainQueueClock(30);  // the idle check retires it
  ASSERT_TRUE(activeSessions().empty());
  fake::clearDiagnosticLines();

  Answers answers = requestWrite(peer, "p1", "/dest/late.txt");
  EXPECT_EQ(*answers,
            (std::vector<std::optional<port::PromiseError>>{promiseError(kCallbackFailed)}));
  EXPECT_EQ(lines(), std::vector<std::string>(
                         {"late write request after session retired sessionId=s1 promiseId=p1"}));
  EXPECT_TRUE(fake::progressRecords().empty());
  EXPECT_EQ(fake::clientOf(peer)->filePromiseProviderFileNameForType(
                fake::FilePromiseProvider::carrying(fake::promisedFile("p1", "late.txt")),
                "public.plain-text"),
            "late.txt");
  EXPECT_EQ(fake::clientOf(peer)->draggingSessionSourceOperationMaskForDraggingContext(
                port::DraggingContext::kOutsideApplication),
            port::drag_operation::kNone);
  fake::runMainQueue();
  EXPECT_EQ(answers->size(), 1u);
  EXPECT_TRUE(a.listener->writeRequests.empty());
}

}  // namespace
}  // namespace kestrovan
