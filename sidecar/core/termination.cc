#include "core/termination.h"

#include <csignal>

namespace kestrovan::sidecar {

bool installTerminationHandler(const std::shared_ptr<DragDropzoneMonitor>& monitor,
                               SidecarPlatform& platform) {
  constexpr int kSignals[] = {SIGINT, SIGTERM};
  for (const int signalNumber : kSignals) platform.disableDefaultSignalAction(signalNumber);
  for (const int signalNumber : kSignals) {
    platform.addSignalSource(signalNumber, [monitor, &platform] {
      monitor->stop();
      platform.exitProcess(0);
    });
  }
  // Read before the watch is set up: a later read that differs shows that
  // this parent ended meanwhile.
  const ProcessId parent = platform.parentProcessId();
  if (parent == kOrphanAdopter) return false;
  platform.sendSignalOnParentExit(parent, SIGTERM);
  return platform.parentProcessId() == parent;
}

}  // namespace kestrovan::sidecar
