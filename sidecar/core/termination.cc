#include "core/termination.h"

#include <csignal>

namespace kestrovan::sidecar {

void installTerminationHandler(const std::shared_ptr<DragDropzoneMonitor>& monitor,
                               SidecarPlatform& platform) {
  constexpr int kSignals[] = {SIGINT, SIGTERM};
  for (const int signalNumber : kSignals) platform.disableDefaultSignalAction(signalNumber);
  for (const int signalNumber : kSignals) {
    platform.addSignalSource(signalNumber, [monitor, &platform] {
      monitor->stop();
      platform.exitProcess(0);
    });
  }
  platform.sendSignalOnParentExit(SIGTERM);
}

}  // namespace kestrovan::sidecar
