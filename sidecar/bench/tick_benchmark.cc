// The polling tick's cost on the fake platform (no window server round trips):
// idle with the button up, and during a file drag inside the retention zone.
#include <benchmark/benchmark.h>

#include "core/dropzone_monitor.h"
#include "tests/fake_platform.h"

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

}  // namespace
}  // namespace kestrovan::sidecar

BENCHMARK_MAIN();
