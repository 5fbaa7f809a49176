#include "log_capture.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kestrovan::appkit_driver {

namespace {

// Never destroyed: the reader thread may still run while the process exits.
struct Capture {
  std::mutex mutex;
  int readEnd = -1;
  int originalStderr = -1;
  std::string pending;             // bytes after the last newline
  std::vector<std::string> lines;  // whole lines not yet taken
};
Capture& capture = *new Capture();

// Moves what the pipe holds now into `lines`, copying it on to the original
// standard error; the caller holds the mutex. False once the pipe is closed.
bool drainLocked() {
  char buffer[4096];
  for (;;) {
    ssize_t count = read(capture.readEnd, buffer, sizeof buffer);
    if (count > 0) {
      ssize_t written = 0;
      while (written < count) {
        ssize_t n = write(capture.originalStderr, buffer + written, static_cast<size_t>(count - written));
        if (n > 0) {
          written += n;
        } else if (errno != EINTR) {
          break;
        }
      }
      capture.pending.append(buffer, static_cast<size_t>(count));
      for (size_t newline; (newline = capture.pending.find('\n')) != std::string::npos;) {
        capture.lines.push_back(capture.pending.substr(0, newline));
        capture.pending.erase(0, newline + 1);
      }
      continue;
    }
    if (count == 0) return false;
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK;
  }
}

void readUntilClosed(int readEnd) {
  for (;;) {
    struct pollfd watched = {readEnd, POLLIN, 0};
    if (poll(&watched, 1, -1) < 0 && errno != EINTR) return;
    std::lock_guard<std::mutex> lock(capture.mutex);
    if (capture.readEnd < 0 || !drainLocked()) return;
  }
}

// At exit, what is still in the pipe (an uncaught exception's report) is
// copied on, and standard error is given back.
void flushAtExit() {
  std::lock_guard<std::mutex> lock(capture.mutex);
  if (capture.readEnd < 0) return;
  dup2(capture.originalStderr, STDERR_FILENO);
  drainLocked();
  close(capture.readEnd);
  capture.readEnd = -1;
}

}  // namespace

bool startLogCapture() {
  std::lock_guard<std::mutex> lock(capture.mutex);
  if (capture.readEnd >= 0) return true;
  // NSLog writes to standard error unless a debugger is attached or this
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
  capture.readEnd = ends[0];
  capture.originalStderr = saved;
  std::thread(readUntilClosed, ends[0]).detach();
  std::atexit(flushAtExit);
  return true;
}

std::vector<std::string> takeLogLines(const std::string& tag) {
  std::lock_guard<std::mutex> lock(capture.mutex);
  if (capture.readEnd >= 0) drainLocked();
  std::vector<std::string> taken;
  for (const std::string& line : capture.lines) {
    size_t at = line.find(tag);
    if (at != std::string::npos) taken.push_back(line.substr(at));
  }
  capture.lines.clear();
  return taken;
}

}  // namespace kestrovan::appkit_driver
