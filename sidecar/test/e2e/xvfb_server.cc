#include "test/e2e/xvfb_server.h"

#include <signal.h>
#include <sys/wait.h>

#include <stdexcept>

namespace kestrovan::sidecar::e2e {

XvfbServer::XvfbServer(int width, int height) : width_(width), height_(height) {
  // -displayfd 1: Xvfb writes its display number to standard output once it
  // is ready for clients.
  server_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{"/usr/bin/Xvfb", "-displayfd", "1", "-screen", "0",
                               std::to_string(width) + "x" + std::to_string(height) + "x24",
                               "-nolisten", "tcp", "-noreset"});
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
