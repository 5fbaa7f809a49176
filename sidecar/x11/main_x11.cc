// kestrovan-drag-dropzone-sidecar on Linux: builds the X11 platform and runs
// the sidecar on it.
#include <string>
#include <vector>

#include "core/run_sidecar.h"
#include "x11/platform_x11.h"

int main(int argc, char* argv[]) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  kestrovan::sidecar::X11Platform platform;
  return kestrovan::sidecar::runSidecar(arguments, platform);
}
