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
  // The parent is read once, here: a pid read before the parent ended is the
  // only one a later read can be told apart from.
  const ProcessId parent = platform.parentProcessId();
  if (parent == kOrphanAdopter) return false;
  platform.sendSignalOnParentExit(parent, SIGTERM);
  return platform.parentProcessId() == parent;
}

}  // namespace kestrovan::sidecar
