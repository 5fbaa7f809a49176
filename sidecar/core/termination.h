// Termination: SIGINT and SIGTERM end the sidecar through `stop()` and exit
// status 0, never through their default action; so does the death of the
// parent process (the application), which arrives as SIGTERM, and a parent
// that had already ended when the sidecar started.
#pragma once

#include <memory>

#include "core/dropzone_monitor.h"
#include "port/sidecar_platform.h"

namespace kestrovan::sidecar {

// The process that adopts an orphan: launchd on macOS, which adopts every
// orphan, and init on Linux where no child subreaper sits between.
inline constexpr ProcessId kOrphanAdopter = 1;

// Takes SIGINT and then SIGTERM away from their default action, then adds a
// signal source for each whose handler calls `stop()` on the monitor and ends
// the process with status 0. The handlers hold the monitor strongly. No other
// signal is touched. Then watches the parent, so an application that crashes
// or is killed leaves no sidecar behind: its exit arrives as SIGTERM.
//
// Returns false, and watches nothing, when the parent has already ended: the
// parent read is the orphan adopter (the parent ended before the sidecar
// could read it), or the parent read again once the watch holds is another
// one (it ended before the watch held, which may then never fire). The
// caller then ends with status 0 at once, before `start()`. A sidecar that a
// child subreaper adopted (Linux) cannot tell it from a parent, and keeps
// watching it. Call it before `start()`.
[[nodiscard]] bool installTerminationHandler(const std::shared_ptr<DragDropzoneMonitor>& monitor,
                                             SidecarPlatform& platform);

}  // namespace kestrovan::sidecar
