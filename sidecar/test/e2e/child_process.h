// ChildProcess: a program started by an end-to-end test, with pipes to its
// standard input, output and error. Every wait takes a timeout; the
// destructor kills (SIGKILL) and reaps a child that is still running, so no
// test leaves a process behind.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kestrovan::sidecar::e2e {

using Milliseconds = std::chrono::milliseconds;

// Environment changes for a child: a value sets the variable, none removes it.
using EnvironmentChanges = std::map<std::string, std::optional<std::string>>;

class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv, const EnvironmentChanges& environment = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The next line of standard output (without its line feed), or none when
  // none came within `timeout` or the stream ended.
  std::optional<std::string> readLine(Milliseconds timeout);
  // Everything standard output delivers within `duration` (or until it ends).
  std::string readFor(Milliseconds duration);
  // Standard error up to its end or `timeout`.
  std::string readAllErrors(Milliseconds timeout);
  // Reads standard output until it ends (or `timeout`); returns what came.
  std::string readToEnd(Milliseconds timeout);

  void writeLine(const std::string& line);
  void closeInput();
  // Closes the read end of the child's standard output, as a reader that goes away does.
  void closeOutput();
  void sendSignal(int signalNumber);

  // The wait status once the child has ended, or none after `timeout`.
  std::optional<int> waitForExit(Milliseconds timeout);

  pid_t pid() const { return pid_; }

 private:
  // Reads what is available on `fd` into `buffer` within `timeout`; false at end of stream.
  bool fill(int fd, std::string& buffer, Milliseconds timeout);

  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  int errors_ = -1;
  std::string outputBuffer_;
  std::string errorBuffer_;
  bool outputEnded_ = false;
  std::optional<int> status_;
};

// Runs a program to its end (bounded) and returns its wait status, or none on timeout.
std::optional<int> runToEnd(const std::vector<std::string>& argv, Milliseconds timeout,
                            const EnvironmentChanges& environment = {});

}  // namespace kestrovan::sidecar::e2e
