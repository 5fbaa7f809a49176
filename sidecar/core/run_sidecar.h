// runSidecar: the sidecar program from its arguments to its exit status.
//
// Each backend's `main` builds its platform and returns what this returns;
// everything the program does, in its start-up order, happens here, so a test
// runs the whole program on a fake platform without a process.
#pragma once

#include <span>
#include <string>

#include "port/sidecar_platform.h"

namespace kestrovan::sidecar {

// Exit statuses.
// Stopped by SIGINT or SIGTERM, the parent had ended, or the loop ended.
inline constexpr int kExitStopped = 0;
inline constexpr int kExitNoWindowServer = 1;  // the window server could not be reached
inline constexpr int kExitBadCommandLine = 2;  // the command line was rejected

// Reads the command line (the arguments after the program path), connects to
// the window server, computes the zones, becomes an accessory application,
// creates the monitor, installs the termination handler, starts the monitor
// and runs the main loop. When the parent has already ended (see
// termination.h) it returns 0 before starting the monitor, printing nothing.
// A failure writes one line "[KestrovanDragDropzone] Sidecar failed:
// <reason>" (its control characters escaped, see failure_line.h) to standard
// error in one write and returns 2 (bad command line) or 1 (no window
// server) before anything else happens.
int runSidecar(std::span<const std::string> arguments, SidecarPlatform& platform);

}  // namespace kestrovan::sidecar
