#include "test/e2e/xvfb_server.h"

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <stdexcept>

namespace kestrovan::sidecar::e2e {

XvfbServer::XvfbServer(int width, int height) : XvfbServer({Screen{width, height}}, false) {}

std::unique_ptr<XvfbServer> XvfbServer::withXinerama(const std::vector<Screen>& screens) {
  return std::unique_ptr<XvfbServer>(new XvfbServer(screens, true));
}

XvfbServer::XvfbServer(const std::vector<Screen>& screens, bool xinerama) : width_(0), height_(0) {
  // -displayfd 1: Xvfb writes its display number to standard output once it
  // is ready for clients.
  std::vector<std::string> argv{"/usr/bin/Xvfb", "-displayfd", "1"};
  for (std::size_t i = 0; i < screens.size(); ++i) {
    argv.insert(argv.end(), {"-screen", std::to_string(i),
                             std::to_string(screens[i].width) + "x" +
                                 std::to_string(screens[i].height) + "x24"});
    width_ = std::max(width_, screens[i].width);
    height_ = std::max(height_, screens[i].height);
  }
  if (xinerama) argv.push_back("+xinerama");
  argv.insert(argv.end(), {"-nolisten", "tcp", "-noreset"});
  server_ = std::make_unique<ChildProcess>(argv);
  const std::optional<std::string> number = server_->readLine(Milliseconds(10000));
  if (!number || number->empty()) {
    throw std::runtime_error("Xvfb did not report a display: " +
                             server_->readAllErrors(Milliseconds(100)));
  }
  display_ = ":" + *number;
}

XvfbServer::~XvfbServer() {
  server_->sendSignal(SIGTERM);
  if (!server_->waitForExit(Milliseconds(3000))) server_->sendSignal(SIGKILL);
  server_->waitForExit(Milliseconds(1000));
}

}  // namespace kestrovan::sidecar::e2e
