// Termination: SIGINT and SIGTERM end the sidecar through `stop()` and exit
// status 0, never through their default action; so does the death of the
// parent process (the application), which arrives as SIGTERM.
#pragma once

#include <memory>

#include "core/dropzone_monitor.h"
#include "port/sidecar_platform.h"

namespace kestrovan::sidecar {

// Takes SIGINT and then SIGTERM away from their default action, then adds a
// signal source for each whose handler calls `stop()` on the monitor and ends
// the process with status 0. The handlers hold the monitor strongly. Then has
// the parent's exit sent as SIGTERM, so an application that crashes or is
// killed leaves no sidecar behind. No other signal is touched. Call it before
// `start()`.
void installTerminationHandler(const std::shared_ptr<DragDropzoneMonitor>& monitor,
                               SidecarPlatform& platform);

}  // namespace kestrovan::sidecar
