// The polling tick's cost on the fake platform (no window server round trips):
// idle with the button up, and during a file drag inside the retention zone,
// each beside the bare cost of the platform reads that tick makes, with the
// ratios printed at the end of the run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include "core/dropzone_monitor.h"
#include "test/fake_platform.h"

namespace kestrovan::sidecar {
namespace {

SidecarZones zones() {
  SidecarSettings settings;
  settings.trayFrame = Rect{100, 800, 200, 30};
  settings.dropzoneFrame = Rect{400, 500, 300, 200};
  return computeZones(settings);
}

void BM_TickButtonUp(benchmark::State& state) {
  testing::FakePlatform platform;
  auto monitor = DragDropzoneMonitor::create(zones(), platform);
  monitor->start();
  platform.pointer = ScreenPoint{1000, 100};
  for (auto _ : state) {
    platform.tick();
    platform.calls.clear();
  }
}
BENCHMARK(BM_TickButtonUp);

void BM_TickFileDragInside(benchmark::State& state) {
  testing::FakePlatform platform;
  auto monitor = DragDropzoneMonitor::create(zones(), platform);
  monitor->start();
  platform.pressedButtons = 1;
  platform.beginPasteboardDrag(true);
  platform.pointer = ScreenPoint{1000, 100};
  platform.tick();
  platform.pointer = ScreenPoint{200, 750};
  platform.tick();
  for (auto _ : state) {
    platform.tick();
    platform.calls.clear();
  }
  if (!monitor->isInsideZone()) state.SkipWithError("never entered");
}
BENCHMARK(BM_TickFileDragInside);

// The reads one tick makes, alone: pointer, both button sources, the
// pasteboard's change count (and, during a file drag, its file test and types).
void bareReads(testing::FakePlatform& platform, bool fileDrag) {
  benchmark::DoNotOptimize(platform.mouseLocation());
  benchmark::DoNotOptimize(platform.pressedMouseButtons());
  benchmark::DoNotOptimize(platform.hardwareLeftButtonDown());
  benchmark::DoNotOptimize(platform.dragPasteboardChangeCount());
  if (fileDrag) {
    benchmark::DoNotOptimize(platform.dragPasteboardCanReadFileURLs());
    benchmark::DoNotOptimize(platform.dragPasteboardTypes());
  }
}

void BM_BareReadsButtonUp(benchmark::State& state) {
  testing::FakePlatform platform;
  platform.pointer = ScreenPoint{1000, 100};
  for (auto _ : state) {
    bareReads(platform, false);
    platform.calls.clear();
  }
}
BENCHMARK(BM_BareReadsButtonUp);

void BM_BareReadsFileDragInside(benchmark::State& state) {
  testing::FakePlatform platform;
  platform.pressedButtons = 1;
  platform.beginPasteboardDrag(true);
  platform.pointer = ScreenPoint{200, 750};
  for (auto _ : state) {
    bareReads(platform, true);
    platform.calls.clear();
  }
}
BENCHMARK(BM_BareReadsFileDragInside);

// Prints the usual table, then each tick's time over its bare reads.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& run : runs) nanoseconds_[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const std::pair<const char*, const char*> pairs[] = {
        {"BM_TickButtonUp", "BM_BareReadsButtonUp"},
        {"BM_TickFileDragInside", "BM_BareReadsFileDragInside"},
    };
    // Goal: a tick costs at most twice the platform reads it makes.
    for (const auto& [tick, bare] : pairs) {
      if (nanoseconds_.count(tick) && nanoseconds_.count(bare) && nanoseconds_[bare] > 0) {
        const double ratio = nanoseconds_[tick] / nanoseconds_[bare];
        std::printf("%s / %s = %.2f; goal (at most %.0f): %s\n", tick, bare, ratio, kGoalRatio,
                    ratio <= kGoalRatio ? "met" : "NOT met");
      }
    }
  }

 private:
  static constexpr double kGoalRatio = 2;
  std::map<std::string, double> nanoseconds_;
};

}  // namespace
}  // namespace kestrovan::sidecar

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  kestrovan::sidecar::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
