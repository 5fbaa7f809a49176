// The monitor's event handlers, the file-drag test and the zone rule.
#include "core/dropzone_monitor.h"

#include <gtest/gtest.h>

#include <ostream>

#include "test/monitor_fixture.h"

namespace kestrovan::sidecar::testing {
namespace {

using Lines = std::vector<std::string>;

TEST(DragDropzoneMonitorStartTest, ReadsChangeCountThenInstallsMonitorsThenTimer) {
  FakePlatform platform;
  platform.changeCount = 41;
  auto monitor = DragDropzoneMonitor::create(exampleZones(), platform);
  EXPECT_EQ(platform.calls, Lines{"dragPasteboardChangeCount"});
  EXPECT_EQ(monitor->inactiveDragPasteboardChangeCount(), 41);
  platform.clearCalls();
  monitor->start();
  EXPECT_EQ(platform.calls, (Lines{"addGlobalMonitor 64", "addGlobalMonitor 33554442",
                                   "addGlobalMonitor 4", "startRepeatingTimer 50000000"}));
  EXPECT_TRUE(platform.outputWrites.empty());
}

struct PasteboardCase {
  const char* name;
  bool canRead;
  std::optional<std::vector<std::string>> types;
  bool containsFiles;
  Lines calls;
  // The platform's own file-promise type names (AppKit's readableDraggedTypes).
  Lines promiseReadable = {};
};

void PrintTo(const PasteboardCase& c, std::ostream* out) { *out << c.name; }

class ContainsFilesTest : public ::testing::TestWithParam<PasteboardCase> {};

TEST_P(ContainsFilesTest, ReadsURLsFirstThenTypes) {
  FakePlatform platform;
  platform.canReadFileURLs = GetParam().canRead;
  platform.types = GetParam().types;
  platform.promiseReadableTypes = GetParam().promiseReadable;
  EXPECT_EQ(dragPasteboardContainsFiles(platform), GetParam().containsFiles);
  EXPECT_EQ(platform.calls, GetParam().calls);
}

const Lines kBothReads{"dragPasteboardCanReadFileURLs", "dragPasteboardTypes"};
// The platform's promise names are asked for last, only when nothing else matched.
const Lines kAllReads{"dragPasteboardCanReadFileURLs", "dragPasteboardTypes",
                      "filePromiseReadableTypes"};
// As AppKit might answer readableDraggedTypes, with a name of its own.
const Lines kAppKitPromiseNames{"com.apple.NSFilePromiseItemMetaData",
                                "dyn.kestrovan-promise-of-the-platform"};

INSTANTIATE_TEST_SUITE_P(
    Table, ContainsFilesTest,
    ::testing::Values(
        PasteboardCase{"FileURLs", true, std::nullopt, true, {"dragPasteboardCanReadFileURLs"}},
        PasteboardCase{"FilenamesTypeOnly", false, Lines{"NSFilenamesPboardType"}, true,
                       kBothReads},
        PasteboardCase{"FileURLType", false, Lines{"public.utf8-plain-text", "public.file-url"},
                       true, kBothReads},
        PasteboardCase{"Text", false, Lines{"public.utf8-plain-text"}, false, kAllReads},
        PasteboardCase{"WebLink", false, Lines{"public.url", "public.url-name"}, false, kAllReads},
        PasteboardCase{"CaseMatters", false, Lines{"nsfilenamespboardtype"}, false, kAllReads},
        PasteboardCase{"NoTypeList", false, std::nullopt, false, kBothReads},
        PasteboardCase{"EmptyTypeList", false, Lines{}, false, kBothReads},
        // Promised files (Mail, Photos, Safari): each promise type alone counts.
        PasteboardCase{"PromiseItemMetadataOnly", false,
                       Lines{"com.apple.NSFilePromiseItemMetaData"}, true, kBothReads},
        PasteboardCase{"PromisedFileURLOnly", false,
                       Lines{"com.apple.pasteboard.promised-file-url"}, true, kBothReads},
        PasteboardCase{"PromisedContentTypeOnly", false,
                       Lines{"com.apple.pasteboard.promised-file-content-type"}, true, kBothReads},
        PasteboardCase{"LegacyFilesPromiseOnly", false,
                       Lines{"Apple files promise pasteboard type"}, true, kBothReads},
        PasteboardCase{"PromiseBesideAnImageAndALink", false,
                       Lines{"public.tiff", "public.url", "com.apple.pasteboard.promised-file-url",
                             "com.apple.pasteboard.promised-file-content-type"},
                       true, kBothReads},
        PasteboardCase{"PromiseCaseMatters", false, Lines{"com.apple.pasteboard.Promised-File-URL"},
                       false, kAllReads},
        PasteboardCase{"PromiseNamePrefixIsNoPromise", false,
                       Lines{"com.apple.pasteboard.promised"}, false, kAllReads},
        // Names the platform's promise receiver reads count as well.
        PasteboardCase{"PlatformPromiseNameOnly", false,
                       Lines{"dyn.kestrovan-promise-of-the-platform"}, true, kAllReads,
                       kAppKitPromiseNames},
        PasteboardCase{"TextWithPlatformPromiseNames", false, Lines{"public.utf8-plain-text"},
                       false, kAllReads, kAppKitPromiseNames},
        PasteboardCase{"WebLinkWithPlatformPromiseNames", false,
                       Lines{"public.url", "public.url-name"}, false, kAllReads,
                       kAppKitPromiseNames},
        PasteboardCase{"NoTypeListWithPlatformPromiseNames", false, std::nullopt, false, kBothReads,
                       kAppKitPromiseNames}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MonitorTest, FileDragIntoTriggerEntersOnceStaysInRetentionAndExitsOnce) {
  platform.beginPasteboardDrag(true);
  dragTo(kOutsideAll);
  dragTo(kInDropzoneFrameInsideRetention);  // crossing retention without the trigger: nothing
  EXPECT_EQ(lines(), Lines{});
  dragTo(kInTrigger);
  dragTo(kInTriggerToo);
  dragTo(kInDropzoneFrameInsideRetention);
  dragTo(kInTrigger);
  EXPECT_EQ(lines(), Lines{"DRAG_ENTER"});
  dragTo(kOutsideAll);
  dragTo(kOutsideAllToo);
  EXPECT_EQ(lines(), (Lines{"DRAG_ENTER", "DRAG_EXIT"}));
  EXPECT_EQ(platform.outputWrites, (Lines{"DRAG_ENTER\n", "DRAG_EXIT\n"}));  // one write per line
}

TEST_F(MonitorTest, StalePasteboardNeverCountsAndIsNotExamined) {
  // The pasteboard already offers files, but nothing changed since creation.
  platform.canReadFileURLs = true;
  dragTo(kInTrigger);
  EXPECT_EQ(platform.calls, (Lines{"mouseLocation", "dragPasteboardChangeCount"}));
  // Nor after a release: the release makes the current count the inactive one.
  platform.beginPasteboardDrag(true);
  releaseAt(kOutsideAll);
  dragTo(kInTrigger);
  EXPECT_EQ(lines(), Lines{});
  // A new drag does count.
  platform.beginPasteboardDrag(true);
  dragTo(kInTrigger);
  EXPECT_EQ(lines(), Lines{"DRAG_ENTER"});
}

TEST_F(MonitorTest, TextOnlyDragsNeverCount) {
  platform.beginPasteboardDrag(false);
  dragTo(kInTrigger);
  dragTo(kInTriggerToo);
  platform.types = Lines{"public.url"};
  dragTo(kInTrigger);
  EXPECT_EQ(lines(), Lines{});
  EXPECT_FALSE(monitor->isInsideZone());
}

TEST_F(MonitorTest, PasteboardThatStopsOfferingFilesEndsTheDrag) {
  platform.beginPasteboardDrag(true);
  dragTo(kInTrigger);
  platform.beginPasteboardDrag(false);  // e.g. the source replaced its data
  dragTo(kInTrigger);
  EXPECT_EQ(lines(), (Lines{"DRAG_ENTER", "DRAG_EXIT"}));
}

struct OutsideButton {
  const char* name;
  std::uint64_t mask;

  friend void PrintTo(const OutsideButton& c, std::ostream* out) { *out << c.name; }
};

class OutsideClickTest : public MonitorTest, public ::testing::WithParamInterface<OutsideButton> {};

TEST_P(OutsideClickTest, EveryPressOutsideClickAllowedPrintsOutsideClick) {
  const std::uint64_t mask = GetParam().mask;
  pressAt(kOutsideAll, mask);
  pressAt(kOutsideAllToo, mask);
  pressAt(kInDropzoneFrameInsideRetention, mask);  // inside the click-allowed zone
  pressAt(kOnTrayOutsideRetention, mask);          // on the tray
  EXPECT_EQ(lines(), (Lines{"OUTSIDE_CLICK", "OUTSIDE_CLICK"}));
  // During a file drag that entered: the state ends without "DRAG_EXIT"...
  platform.beginPasteboardDrag(true);
  dragTo(kInTrigger);
  pressAt(kOutsideAll, mask);
  EXPECT_FALSE(monitor->isInsideZone());
  // ...so the next move into the trigger zone enters again.
  dragTo(kInTrigger);
  EXPECT_EQ(lines(),
            (Lines{"OUTSIDE_CLICK", "OUTSIDE_CLICK", "DRAG_ENTER", "OUTSIDE_CLICK", "DRAG_ENTER"}));
}

INSTANTIATE_TEST_SUITE_P(Buttons, OutsideClickTest,
                         ::testing::Values(OutsideButton{"Left", kLeftMouseDownMask},
                                           OutsideButton{"Right", kRightMouseDownMask},
                                           OutsideButton{"Other", kOtherMouseDownMask}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MonitorTest, MouseDownDoesNotLookAtThePasteboard) {
  pressAt(kOutsideAll);
  EXPECT_EQ(platform.calls, (Lines{"mouseLocation", "writeStandardOutput"}));
}

TEST_F(MonitorTest, ReleaseInsideRetentionKeepsInsideUntilTheNextDragEvent) {
  platform.beginPasteboardDrag(true);
  dragTo(kInTrigger);
  releaseAt(kInDropzoneFrameInsideRetention);
  EXPECT_TRUE(monitor->isInsideZone());
  EXPECT_EQ(monitor->inactiveDragPasteboardChangeCount(), platform.changeCount);
  EXPECT_EQ(lines(), Lines{"DRAG_ENTER"});
  // The next drag of the same (now inactive) pasteboard is no file drag: exit.
  dragTo(kInDropzoneFrameInsideRetention);
  EXPECT_EQ(lines(), (Lines{"DRAG_ENTER", "DRAG_EXIT"}));
}

TEST_F(MonitorTest, ReleaseOutsideRetentionExitsAtOnce) {
  platform.beginPasteboardDrag(true);
  dragTo(kInTrigger);
  releaseAt(kOnTrayOutsideRetention);
  EXPECT_EQ(lines(), (Lines{"DRAG_ENTER", "DRAG_EXIT"}));
  releaseAt(kOutsideAll);  // already outside: nothing more
  EXPECT_EQ(lines(), (Lines{"DRAG_ENTER", "DRAG_EXIT"}));
}

TEST_F(MonitorTest, ReleaseReadsPointerThenChangeCount) {
  releaseAt(kOutsideAll);
  EXPECT_EQ(platform.calls, (Lines{"mouseLocation", "dragPasteboardChangeCount"}));
}

TEST_F(MonitorTest, HandlersAndTimerDoNothingOnceTheMonitorIsGone) {
  platform.beginPasteboardDrag(true);
  monitor.reset();
  EXPECT_EQ(platform.installedMonitorCount(), 3u);  // destroying removes nothing
  platform.clearCalls();
  dragTo(kInTrigger);
  pressAt(kOutsideAll, kRightMouseDownMask);
  releaseAt(kOutsideAll);
  platform.advance(std::chrono::milliseconds(200));
  EXPECT_EQ(platform.calls, Lines{});
  EXPECT_TRUE(platform.outputWrites.empty());
}

TEST(DragDropzoneMonitorFailureTest, MonitorsThatCannotBeInstalledLeavePollingAlone) {
  FakePlatform platform;
  platform.monitorsFail = true;
  auto monitor = DragDropzoneMonitor::create(exampleZones(), platform);
  monitor->start();
  EXPECT_EQ(platform.runningTimerCount(), 1u);
  // The tick alone still enters and exits.
  platform.tick();
  platform.pointer = kOutsideAll;
  platform.pressedButtons = 1;
  platform.beginPasteboardDrag(true);
  platform.tick();
  platform.pointer = kInTrigger;
  platform.tick();
  platform.pressedButtons = 0;
  platform.pointer = kOutsideAll;
  platform.tick();
  EXPECT_EQ(platform.output(), "DRAG_ENTER\nDRAG_EXIT\n");
  // stop() removes only what was installed.
  platform.clearCalls();
  monitor->stop();
  EXPECT_EQ(platform.calls, Lines{"cancelTimer 1"});
}

}  // namespace
}  // namespace kestrovan::sidecar::testing
