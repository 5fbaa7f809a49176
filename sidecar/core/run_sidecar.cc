#include "core/run_sidecar.h"

#include <memory>
#include <string_view>

#include "core/arguments.h"
#include "core/dropzone_monitor.h"
#include "core/failure_line.h"
#include "core/termination.h"
#include "core/zones.h"

namespace kestrovan::sidecar {
namespace {

void writeFailureLine(SidecarPlatform& platform, std::string_view reason) {
  platform.writeStandardError(failureLine(reason));
}

}  // namespace

int runSidecar(std::span<const std::string> arguments, SidecarPlatform& platform) {
  const ArgumentsResult parsed = parseArguments(arguments);
  if (const auto* error = std::get_if<ArgumentError>(&parsed)) {
    writeFailureLine(platform, error->description());
    return kExitBadCommandLine;
  }
  if (const std::optional<std::string> failure = platform.connectToWindowServer()) {
    writeFailureLine(platform, *failure);
    return kExitNoWindowServer;
  }
  const SidecarZones zones = computeZones(std::get<SidecarSettings>(parsed));
  platform.activateAsAccessory();
  std::shared_ptr<DragDropzoneMonitor> monitor = DragDropzoneMonitor::create(zones, platform);
  // Nobody reads the lines of a sidecar whose parent has already ended.
  if (!installTerminationHandler(monitor, platform)) return kExitStopped;
  monitor->start();
  const int status = platform.runMainLoop();
  monitor.reset();
  return status;
}

}  // namespace kestrovan::sidecar
