#include "log_capture.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace kestrovan::appkit_driver {

namespace {

std::mutex capture;
int readEnd = -1;
int originalStderr = -1;
std::string pending;                // bytes after the last newline
std::vector<std::string> lines;     // whole lines not yet taken

// Moves what the pipe holds now into `lines`; the caller holds `capture`.
// False once the pipe is closed.
bool drainLocked() {
  char buffer[4096];
  for (;;) {
    ssize_t count = read(readEnd, buffer, sizeof buffer);
    if (count > 0) {
      if (originalStderr >= 0) {
        ssize_t written = 0;
        while (written < count) {
          ssize_t n = write(originalStderr, buffer + written, static_cast<size_t>(count - written));
          if (n <= 0 && errno != EINTR) break;
          if (n > 0) written += n;
        }
      }
      pending.append(buffer, static_cast<size_t>(count));
      for (size_t newline; (newline = pending.find('\n')) != std::string::npos;) {
        lines.push_back(pending.substr(0, newline));
        pending.erase(0, newline + 1);
      }
      continue;
    }
    if (count == 0) return false;
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK;
  }
}

void readUntilClosed() {
  for (;;) {
    struct pollfd watched = {readEnd, POLLIN, 0};
    if (poll(&watched, 1, -1) < 0 && errno != EINTR) return;
    std::lock_guard<std::mutex> lock(capture);
    if (!drainLocked()) return;
  }
}

}  // namespace

bool startLogCapture() {
  std::lock_guard<std::mutex> lock(capture);
  if (readEnd >= 0) return true;
  // NSLog writes to standard error unless a debugger attached or this
  // variable sends it to the unified log only.
  unsetenv("OS_ACTIVITY_DT_MODE");
  setenv("CFLOG_FORCE_STDERR", "1", 1);
  int ends[2];
  if (pipe(ends) != 0) return false;
  int saved = dup(STDERR_FILENO);
  if (saved < 0 || dup2(ends[1], STDERR_FILENO) < 0) {
    int error = errno;
    close(ends[0]);
    close(ends[1]);
    if (saved >= 0) close(saved);
    errno = error;
    return false;
  }
  close(ends[1]);
  fcntl(ends[0], F_SETFL, fcntl(ends[0], F_GETFL) | O_NONBLOCK);
  fcntl(ends[0], F_SETFD, FD_CLOEXEC);
  fcntl(saved, F_SETFD, FD_CLOEXEC);
  readEnd = ends[0];
  originalStderr = saved;
  std::thread(readUntilClosed).detach();
  return true;
}

std::vector<std::string> takeLogLines(const std::string& tag) {
  std::lock_guard<std::mutex> lock(capture);
  if (readEnd >= 0) drainLocked();
  std::vector<std::string> taken;
  for (const std::string& line : lines) {
    size_t at = line.find(tag);
    if (at != std::string::npos) taken.push_back(line.substr(at));
  }
  lines.clear();
  return taken;
}

}  // namespace kestrovan::appkit_driver
