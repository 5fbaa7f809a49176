#include "drops/drop_zone.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fakes/manual_main_queue.h"
#include "fakes/recorded_file_drops.h"

namespace kestrovan::drops {
namespace {

namespace fs = std::filesystem;
using port::IncomingDragItem;
using Kind = port::IncomingDragItem::Kind;

// What the zone told its owner, in order ("enter", "exit", "drop 1",
// "settled 1/0 ok|failed", "progress 1/0 0.5", "closed", "closed by window").
class RecordingListener final : public DropZoneListener {
 public:
  void dragEntered() override { told("enter"); }
  void dragExited() override { told("exit"); }
  void dropped(const DropReport& drop) override {
    drops.push_back(drop);
    told("drop " + std::to_string(drop.dropId));
  }
  void itemSettled(uint64_t dropId, size_t itemIndex, const ItemOutcome& outcome) override {
    outcomes[{dropId, itemIndex}].push_back(outcome);
    told("settled " + std::to_string(dropId) + "/" + std::to_string(itemIndex) +
         (outcome.received() ? " ok" : " failed"));
  }
  void itemProgress(uint64_t dropId, size_t itemIndex, double fraction) override {
    progress.push_back(fraction);
    told("progress " + std::to_string(dropId) + "/" + std::to_string(itemIndex));
  }
  void zoneClosed(bool windowWentAway) override {
    told(windowWentAway ? "closed by window" : "closed");
  }

  void told(const std::string& what) {
    events.push_back(what);
    if (onEvent) onEvent(what);
  }

  std::vector<std::string> events;
  std::vector<DropReport> drops;
  std::map<std::pair<uint64_t, size_t>, std::vector<ItemOutcome>> outcomes;
  std::vector<double> progress;
  std::function<void(const std::string&)> onEvent;
};

std::string makeTempFolder(const char* prefix) {
  std::string pattern = (fs::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
  EXPECT_NE(mkdtemp(pattern.data()), nullptr);
  return pattern;
}

void writeFile(const std::string& path, const std::string& contents) {
  std::ofstream(path) << contents;
}

// Every entry under `folder`, relative, sorted (links not followed).
std::vector<std::string> entriesUnder(const std::string& folder) {
  std::vector<std::string> found;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(folder, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    found.push_back(it->path().lexically_relative(folder).string());
  }
  std::sort(found.begin(), found.end());
  return found;
}

IncomingDragItem promise(std::string name) { return {Kind::kPromise, std::move(name), {}}; }
IncomingDragItem existingFile(std::string path) {
  return {Kind::kFile, fs::path(path).filename().string(), std::move(path)};
}

class DropZoneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::resetMainQueue();
    fake::resetDropZones();
    destination = makeTempFolder("kestrovan-drops-");
    outside = makeTempFolder("kestrovan-outside-");
    listener = std::make_shared<RecordingListener>();
    zone = DropZone::open(nullptr, {10, 20, 300, 200}, {destination, 5000}, listener);
    ASSERT_TRUE(zone);
    ASSERT_EQ(fake::openedDropZones().size(), 1u);
    portZone = fake::openedDropZones().back();
  }
  void TearDown() override {
    zone.reset();
    fake::resetMainQueue();
    fake::resetDropZones();
    fs::remove_all(destination);
    fs::remove_all(outside);
  }

  port::FileDropZoneClient& client() { return *portZone->client.lock(); }

  // Drops `items` at (50, 60) and answers with what the platform was asked.
  fake::RecordedPromises drop(const std::vector<IncomingDragItem>& items) {
    fake::RecordedPromises promises;
    client().fileDropZoneDropped({50, 60}, items, promises);
    return promises;
  }

  const std::vector<ItemOutcome>& outcomesOf(uint64_t dropId, size_t index) {
    return listener->outcomes[{dropId, index}];
  }

  std::string destination;
  std::string outside;
  std::shared_ptr<RecordingListener> listener;
  std::shared_ptr<DropZone> zone;
  std::shared_ptr<fake::RecordedDropZone> portZone;
};

TEST_F(DropZoneTest, MailLikeDropOfASlowAFailingAndANeverFulfilledPromise) {
  auto promises = drop({promise("slow.pdf"), promise("failing.jpg"), promise("never.mov")});
  ASSERT_EQ(listener->drops.size(), 1u);
  const DropReport& report = listener->drops[0];
  EXPECT_EQ(fs::path(report.folder).parent_path(), fs::path(destination));
  EXPECT_EQ(fs::path(report.folder).filename().string().rfind("drop-", 0), 0u);
  ASSERT_EQ(report.items.size(), 3u);
  EXPECT_TRUE(report.items[0].promise);
  EXPECT_EQ(report.items[1].name, "failing.jpg");
  // Every item is received into the drop's one folder: AppKit wants the same
  // destination for every receiver of a drag.
  ASSERT_EQ(promises.started.size(), 3u);
  for (const auto& started : promises.started) EXPECT_EQ(started.folder, report.folder);
  // Each source starts writing, under names of its own choosing; the failing
  // one then fails at 1 s, the slow one completes at 3 s, the third never
  // answers.
  const std::string& folder = report.folder;
  writeFile(folder + "/slow.pdf", "half");
  writeFile(folder + "/failing.jpg.download", "partial");
  writeFile(folder + "/never.mov", "partial");

  fake::advanceMainQueueClock(1);
  promises.started[1].sink->promiseFailed("The attachment could not be downloaded.");
  EXPECT_EQ(outcomesOf(1, 1).size(), 1u);
  EXPECT_EQ(outcomesOf(1, 1)[0].error, "The attachment could not be downloaded.");

  fake::advanceMainQueueClock(2);
  writeFile(folder + "/slow.pdf", "whole");
  promises.started[0].sink->promiseReceived(folder + "/slow.pdf");
  ASSERT_EQ(outcomesOf(1, 0).size(), 1u);
  EXPECT_EQ(outcomesOf(1, 0)[0].path, folder + "/slow.pdf");
  EXPECT_TRUE(outcomesOf(1, 2).empty());

  fake::advanceMainQueueClock(1.999);
  EXPECT_TRUE(outcomesOf(1, 2).empty());
  fake::advanceMainQueueClock(0.002);
  ASSERT_EQ(outcomesOf(1, 2).size(), 1u);
  EXPECT_EQ(outcomesOf(1, 2)[0].error, "timed out after 5000 ms waiting for \"never.mov\"");
  EXPECT_EQ(zone->pendingItems(), 0u);

  // Nothing left of the failed ones, whatever their names; the slow one's
  // file stays.
  EXPECT_EQ(entriesUnder(report.folder), (std::vector<std::string>{"slow.pdf"}));
  EXPECT_EQ(listener->events, (std::vector<std::string>{"drop 1", "settled 1/1 failed",
                                                        "settled 1/0 ok", "settled 1/2 failed"}));
}

// A received path that is not really inside the drop's folder is removed and
// rejected, however it got out; nothing stays outside.
TEST_F(DropZoneTest, HostileReceivedPathsAreRemovedAndRejected) {
  struct Case {
    const char* what;
    // Writes the file as the source would and answers the path it reports.
    std::function<std::string(const std::string& dropFolder, const std::string& outside)> write;
  };
  const Case cases[] = {
      {"a name going up",
       [](const std::string& folder, const std::string&) {
         writeFile(folder + "/../x", "escaped");
         return folder + "/../x";
       }},
      {"a name going up twice, out of the destination",
       [](const std::string& folder, const std::string&) {
         writeFile(folder + "/../../escaped-" + fs::path(folder).parent_path().filename().string(),
                   "escaped");
         return folder + "/../../escaped-" + fs::path(folder).parent_path().filename().string();
       }},
      {"an absolute path elsewhere",
       [](const std::string&, const std::string& out) {
         writeFile(out + "/absolute", "escaped");
         return out + "/absolute";
       }},
      {"a link inside leading to a folder outside",
       [](const std::string& folder, const std::string& out) {
         fs::create_directory_symlink(out, folder + "/link");
         writeFile(folder + "/link/through", "escaped");
         return folder + "/link/through";
       }},
      {"the reported file itself a link to a file outside",
       [](const std::string& folder, const std::string& out) {
         writeFile(out + "/target", "someone's");
         fs::create_symlink(out + "/target", folder + "/file");
         return folder + "/file";
       }},
  };
  uint64_t dropId = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<std::string> outsideBefore = entriesUnder(outside);
    auto promises = drop({promise("../x")});
    ++dropId;
    ASSERT_EQ(promises.started.size(), 1u);
    const std::string reported = c.write(promises.started[0].folder, outside);
    promises.started[0].sink->promiseReceived(reported);
    ASSERT_EQ(outcomesOf(dropId, 0).size(), 1u);
    EXPECT_NE(outcomesOf(dropId, 0)[0].error.find("outside the drop's folder"), std::string::npos)
        << outcomesOf(dropId, 0)[0].error;
    EXPECT_FALSE(fs::exists(fs::symlink_status(reported)));
    EXPECT_EQ(entriesUnder(destination), std::vector<std::string>{});
    const std::vector<std::string> outsideAfter = entriesUnder(outside);
    // The link case wrote through the link; a reported link to an existing
    // file removes the link, never the file.
    if (std::string(c.what).find("itself a link") != std::string::npos) {
      EXPECT_EQ(outsideAfter, (std::vector<std::string>{"target"}));
      fs::remove(outside + "/target");
    } else {
      EXPECT_EQ(outsideAfter, outsideBefore);
    }
  }
  EXPECT_FALSE(fs::exists(fs::path(destination).parent_path() /
                          ("escaped-" + fs::path(destination).filename().string())));
}

TEST_F(DropZoneTest, AReportedPathWithNothingThereIsRejected) {
  auto promises = drop({promise("ghost.txt")});
  promises.started[0].sink->promiseReceived(promises.started[0].folder + "/ghost.txt");
  ASSERT_EQ(outcomesOf(1, 0).size(), 1u);
  EXPECT_NE(outcomesOf(1, 0)[0].error.find("nothing is at"), std::string::npos);
}

TEST_F(DropZoneTest, FinderLikeDropOfExistingFilesMakesNoFolder) {
  writeFile(outside + "/a.txt", "a");
  auto promises = drop({existingFile(outside + "/a.txt"), existingFile(outside + "/b c.txt")});
  ASSERT_EQ(listener->drops.size(), 1u);
  EXPECT_EQ(listener->drops[0].folder, "");
  EXPECT_EQ(listener->drops[0].items[0].path, outside + "/a.txt");
  EXPECT_EQ(listener->drops[0].items[1].name, "b c.txt");
  EXPECT_FALSE(listener->drops[0].items[1].promise);
  EXPECT_TRUE(promises.started.empty());
  EXPECT_EQ(entriesUnder(destination), std::vector<std::string>{});
  EXPECT_EQ(fake::pendingMainQueueBlocks(), 0u);
}

TEST_F(DropZoneTest, LateAnswersAreIgnoredAndWhatTheyDeliveredRemoved) {
  auto promises = drop({promise("late.bin"), promise("twice.bin"), promise("failed.bin")});
  const std::string dropFolder = listener->drops[0].folder;
  // The second is received, then reported again with another file and with
  // its own path; the third fails and then succeeds anyway.
  writeFile(dropFolder + "/twice.bin", "ok");
  promises.started[1].sink->promiseReceived(dropFolder + "/twice.bin");
  writeFile(dropFolder + "/extra.bin", "extra");
  promises.started[1].sink->promiseReceived(dropFolder + "/extra.bin");
  EXPECT_FALSE(fs::exists(dropFolder + "/extra.bin"));
  promises.started[1].sink->promiseReceived(dropFolder + "/twice.bin");
  promises.started[1].sink->promiseFailed("too late to fail");
  promises.started[2].sink->promiseFailed("no");
  writeFile(dropFolder + "/3-recreated", "late");
  promises.started[2].sink->promiseReceived(dropFolder + "/3-recreated");
  EXPECT_FALSE(fs::exists(dropFolder + "/3-recreated"));
  // ... and even claims the second's file: that stays.
  promises.started[2].sink->promiseReceived(dropFolder + "/twice.bin");

  fake::advanceMainQueueClock(5);  // the first times out
  ASSERT_EQ(outcomesOf(1, 0).size(), 1u);
  // ... and then the source writes it anyway, in a folder of its own making.
  fs::create_directories(dropFolder + "/sub");
  writeFile(dropFolder + "/sub/late.bin", "late");
  promises.started[0].sink->promiseProgress(0.5);
  promises.started[0].sink->promiseReceived(dropFolder + "/sub/late.bin");

  EXPECT_EQ(outcomesOf(1, 1).size(), 1u);
  EXPECT_TRUE(outcomesOf(1, 1)[0].received());
  EXPECT_EQ(outcomesOf(1, 2).size(), 1u);
  EXPECT_EQ(outcomesOf(1, 2)[0].error, "no");
  EXPECT_TRUE(listener->progress.empty());
  EXPECT_EQ(entriesUnder(dropFolder), (std::vector<std::string>{"twice.bin"}));
}

// The folder is swept when the drop's last item settles, not before (a
// partial file may belong to any pending item), and the sweep keeps what the
// items were received at, also in folders a source made, and follows no link.
TEST_F(DropZoneTest, TheLastItemToSettleSweepsTheFolderOfAllButTheReceived) {
  auto promises =
      drop({promise("in-a-folder.txt"), promise("failing"), promise("pending"), promise("links")});
  const std::string dropFolder = listener->drops[0].folder;
  fs::create_directories(dropFolder + "/album/raw");
  writeFile(dropFolder + "/album/in-a-folder.txt", "kept");
  writeFile(dropFolder + "/album/raw/partial", "partial");
  writeFile(dropFolder + "/album/partial", "partial");
  writeFile(dropFolder + "/.failing.tmp", "partial");
  writeFile(outside + "/someone's", "someone's");
  fs::create_directory_symlink(outside, dropFolder + "/to-outside");
  fs::create_symlink(outside + "/someone's", dropFolder + "/to-a-file-outside");
  writeFile(dropFolder + "/links.txt", "links");
  fs::create_symlink(dropFolder + "/links.txt", dropFolder + "/link-to-received");

  promises.started[0].sink->promiseReceived(dropFolder + "/album/in-a-folder.txt");
  promises.started[1].sink->promiseFailed("failed");
  promises.started[3].sink->promiseReceived(dropFolder + "/link-to-received");
  EXPECT_TRUE(fs::exists(dropFolder + "/.failing.tmp"));  // the third may still write it
  writeFile(dropFolder + "/pending.part", "partial");

  fake::advanceMainQueueClock(5);  // the third times out: the last to settle
  ASSERT_EQ(outcomesOf(1, 2).size(), 1u);
  EXPECT_EQ(entriesUnder(dropFolder), (std::vector<std::string>{"album", "album/in-a-folder.txt",
                                                                "link-to-received", "links.txt"}));
  EXPECT_EQ(entriesUnder(outside), (std::vector<std::string>{"someone's"}));
}

// Two items answered with the same file (a legacy receiver's array, a source
// naming both alike): the first keeps it, the second is rejected and removes
// nothing.
TEST_F(DropZoneTest, AFileAlreadyReceivedForAnotherItemIsRejected) {
  auto promises = drop({promise("a.jpg"), promise("a.jpg"), promise("b.jpg")});
  const std::string dropFolder = listener->drops[0].folder;
  writeFile(dropFolder + "/a.jpg", "a");
  promises.started[0].sink->promiseReceived(dropFolder + "/a.jpg");
  promises.started[1].sink->promiseReceived(dropFolder + "/./a.jpg");
  fs::create_symlink("a.jpg", dropFolder + "/b.jpg");
  promises.started[2].sink->promiseReceived(dropFolder + "/b.jpg");

  ASSERT_EQ(outcomesOf(1, 0).size(), 1u);
  EXPECT_EQ(outcomesOf(1, 0)[0].path, dropFolder + "/a.jpg");
  for (size_t index : {1, 2}) {
    ASSERT_EQ(outcomesOf(1, index).size(), 1u);
    EXPECT_NE(outcomesOf(1, index)[0].error.find("where another item of the drop was received"),
              std::string::npos)
        << outcomesOf(1, index)[0].error;
  }
  EXPECT_EQ(entriesUnder(dropFolder), (std::vector<std::string>{"a.jpg"}));
  EXPECT_EQ(zone->pendingItems(), 0u);
}

TEST_F(DropZoneTest, CloseRejectsWhatIsPendingOnceAndLateAnswersAfterItAreRemoved) {
  auto promises = drop({promise("a"), promise("b")});
  const std::string dropFolder = listener->drops[0].folder;
  writeFile(dropFolder + "/a.partial", "partial");
  writeFile(dropFolder + "/b", "b");
  promises.started[1].sink->promiseReceived(dropFolder + "/b");

  zone->close();
  zone->close();
  EXPECT_EQ(portZone->closeCalls, 1);
  EXPECT_TRUE(zone->closed());
  ASSERT_EQ(outcomesOf(1, 0).size(), 1u);
  EXPECT_EQ(outcomesOf(1, 0)[0].error, kZoneClosedMessage);
  EXPECT_EQ(entriesUnder(dropFolder), (std::vector<std::string>{"b"}));

  // Nothing more is told: not the timeout, not a late answer, not a move.
  writeFile(dropFolder + "/a.partial", "more");
  writeFile(dropFolder + "/a", "whole");
  promises.started[0].sink->promiseReceived(dropFolder + "/a");
  fake::advanceMainQueueClock(10);
  client().fileDropZoneDragEntered();
  zone->setRect({0, 0, 1, 1});
  EXPECT_EQ(portZone->rects.size(), 1u);
  EXPECT_EQ(entriesUnder(dropFolder), (std::vector<std::string>{"b"}));
  EXPECT_EQ(listener->events,
            (std::vector<std::string>{"drop 1", "settled 1/1 ok", "settled 1/0 failed", "closed"}));
}

TEST_F(DropZoneTest, TheWindowGoingAwayClosesTheZone) {
  auto promises = drop({promise("a")});
  client().fileDropZoneDragEntered();
  client().fileDropZoneWindowClosed();
  EXPECT_TRUE(zone->closed());
  EXPECT_EQ(portZone->closeCalls, 1);
  ASSERT_EQ(outcomesOf(1, 0).size(), 1u);
  EXPECT_EQ(outcomesOf(1, 0)[0].error, "the drop zone was closed: its window went away");
  EXPECT_EQ(listener->events, (std::vector<std::string>{"drop 1", "enter", "exit",
                                                        "settled 1/0 failed", "closed by window"}));
  client().fileDropZoneWindowClosed();
  zone->close();
  EXPECT_EQ(listener->events.size(), 5u);
}

TEST_F(DropZoneTest, EnterAndExitPairUp) {
  client().fileDropZoneDragExited();
  client().fileDropZoneDragEntered();
  client().fileDropZoneDragEntered();
  client().fileDropZoneDragExited();
  client().fileDropZoneDragExited();
  client().fileDropZoneDragEntered();
  drop({});
  client().fileDropZoneDragExited();
  client().fileDropZoneDragEntered();
  zone->close();
  EXPECT_EQ(listener->events, (std::vector<std::string>{"enter", "exit", "enter", "drop 1", "enter",
                                                        "exit", "closed"}));
}

TEST_F(DropZoneTest, SetRectMovesThePortZone) {
  zone->setRect({1, 2, 3, 4});
  ASSERT_EQ(portZone->rects.size(), 2u);
  EXPECT_EQ(portZone->rects[0].x, 10);
  EXPECT_EQ(portZone->rects[1].y, 2);
  EXPECT_EQ(portZone->rects[1].height, 4);
}

TEST_F(DropZoneTest, ClosingFromInsideTheDropAnswersEveryItemOnceAndClosedLast) {
  listener->onEvent = [this](const std::string& what) {
    if (what == "drop 1") zone->close();
  };
  fake::RecordedPromises promises;
  promises.answerFirstAtOnce = true;  // the first item answers inside receive()
  client().fileDropZoneDropped({1, 1}, {promise("a"), promise("b")}, promises);
  EXPECT_EQ(listener->events,
            (std::vector<std::string>{"drop 1", "settled 1/0 ok", "settled 1/1 failed", "closed"}));
  EXPECT_EQ(fake::pendingMainQueueBlocks(), 2u);  // the timeouts, now harmless
  fake::advanceMainQueueClock(6);
  EXPECT_EQ(listener->events.size(), 4u);
}

TEST_F(DropZoneTest, AnswersGivenInsideReceiveAreToldAfterTheDrop) {
  fake::RecordedPromises promises;
  promises.answerFirstAtOnce = true;
  client().fileDropZoneDropped({1, 1}, {promise("a")}, promises);
  EXPECT_EQ(listener->events, (std::vector<std::string>{"drop 1", "settled 1/0 ok"}));
}

TEST_F(DropZoneTest, AMissingDestinationRejectsEachPromiseAndKeepsTheFiles) {
  fs::remove_all(destination);
  auto promises = drop({promise("a"), existingFile("/etc/hostname"), promise("b")});
  EXPECT_TRUE(promises.started.empty());
  EXPECT_EQ(listener->drops[0].folder, "");
  EXPECT_EQ(listener->drops[0].items[1].path, "/etc/hostname");
  ASSERT_EQ(outcomesOf(1, 0).size(), 1u);
  EXPECT_NE(
      outcomesOf(1, 0)[0].error.find("could not make a folder for the drop in " + destination),
      std::string::npos);
  EXPECT_EQ(outcomesOf(1, 2).size(), 1u);
  EXPECT_EQ(listener->events,
            (std::vector<std::string>{"drop 1", "settled 1/0 failed", "settled 1/2 failed"}));
}

TEST_F(DropZoneTest, ProgressIsClampedAndStopsAtTheAnswer) {
  auto promises = drop({promise("a")});
  auto& sink = *promises.started[0].sink;
  sink.promiseProgress(0.25);
  sink.promiseProgress(7);
  sink.promiseProgress(-1);
  sink.promiseProgress(std::numeric_limits<double>::quiet_NaN());
  sink.promiseFailed("");
  sink.promiseProgress(0.5);
  EXPECT_EQ(listener->progress, (std::vector<double>{0.25, 1, 0, 0}));
  EXPECT_EQ(outcomesOf(1, 0)[0].error, "the source could not provide the file");
}

TEST_F(DropZoneTest, AnEmptyNameIsNamedInMessagesWithoutQuotes) {
  zone = DropZone::open(nullptr, {0, 0, 1, 1}, {destination, 250}, listener);
  portZone = fake::openedDropZones().back();
  drop({promise("")});
  fake::advanceMainQueueClock(0.25);
  EXPECT_EQ(outcomesOf(1, 0)[0].error, "timed out after 250 ms waiting for the promised file");
}

TEST_F(DropZoneTest, ADestroyedZoneClosesSilentlyAndLateAnswersStillCleanUp) {
  auto promises = drop({promise("a")});
  const std::string dropFolder = listener->drops[0].folder;
  writeFile(dropFolder + "/a", "partial");
  std::weak_ptr<DropZone> weak = zone;
  zone.reset();
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(portZone->closeCalls, 1);
  EXPECT_EQ(listener->events, (std::vector<std::string>{"drop 1"}));
  EXPECT_FALSE(fs::exists(dropFolder));
  // The platform still holds the receipt; its late answer removes its file.
  fs::create_directories(dropFolder);
  writeFile(dropFolder + "/a", "late");
  promises.started[0].sink->promiseReceived(dropFolder + "/a");
  EXPECT_FALSE(fs::exists(dropFolder));
  fake::advanceMainQueueClock(10);
  EXPECT_EQ(listener->events.size(), 1u);
}

TEST_F(DropZoneTest, NoZoneWhenThePlatformGivesNone) {
  fake::refuseDropZones = true;
  EXPECT_EQ(DropZone::open(nullptr, {0, 0, 1, 1}, {destination, 1}, listener), nullptr);
}

}  // namespace
}  // namespace kestrovan::drops
