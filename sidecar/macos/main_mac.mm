// kestrovan-drag-dropzone-sidecar on macOS: builds the AppKit platform and
// runs the sidecar on it.
#import <Foundation/Foundation.h>

#include <string>
#include <vector>

#include "core/run_sidecar.h"
#include "macos/platform_mac.h"

int main(int argc, char* argv[]) {
  @autoreleasepool {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    kestrovan::sidecar::MacPlatform platform;
    return kestrovan::sidecar::runSidecar(arguments, platform);
  }
}
