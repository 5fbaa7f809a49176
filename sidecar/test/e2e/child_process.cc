#include "test/e2e/child_process.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace kestrovan::sidecar::e2e {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> buildEnvironment(const EnvironmentChanges& changes) {
  std::vector<std::string> result;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::string name = text.substr(0, text.find('='));
    if (changes.count(name) == 0) result.push_back(text);
  }
  for (const auto& [name, value] : changes) {
    if (value) result.push_back(name + "=" + *value);
  }
  return result;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> result;
  for (std::string& s : strings) result.push_back(s.data());
  result.push_back(nullptr);
  return result;
}

int remainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<Milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const EnvironmentChanges& environment) {
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe2 failed");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  // The child starts with every signal unblocked and at its default action.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<std::string> args = argv;
  std::vector<std::string> env = buildEnvironment(environment);
  auto argp = pointers(args);
  auto envp = pointers(env);
  const int error = posix_spawn(&pid_, argp[0], &actions, &attributes, argp.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(in[0]);
  close(out[1]);
  close(err[1]);
  input_ = in[1];
  output_ = out[0];
  errors_ = err[0];
  if (error != 0) {
    pid_ = -1;
    throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(error));
  }
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !status_) {
    kill(pid_, SIGKILL);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
  }
  for (const int fd : {input_, output_, errors_}) {
    if (fd >= 0) close(fd);
  }
}

bool ChildProcess::fill(int fd, std::string& buffer, Milliseconds timeout) {
  pollfd p{fd, POLLIN, 0};
  const int ready = poll(&p, 1, static_cast<int>(timeout.count()));
  if (ready <= 0) return true;
  char chunk[4096];
  const ssize_t n = read(fd, chunk, sizeof(chunk));
  if (n <= 0) return false;
  buffer.append(chunk, static_cast<std::size_t>(n));
  return true;
}

std::optional<std::string> ChildProcess::readLine(Milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const std::size_t end = outputBuffer_.find('\n');
    if (end != std::string::npos) {
      std::string line = outputBuffer_.substr(0, end);
      outputBuffer_.erase(0, end + 1);
      return line;
    }
    if (outputEnded_ || Clock::now() >= deadline) return std::nullopt;
    if (!fill(output_, outputBuffer_, Milliseconds(remainingMs(deadline)))) outputEnded_ = true;
  }
}

std::string ChildProcess::readFor(Milliseconds duration) {
  const auto deadline = Clock::now() + duration;
  while (!outputEnded_ && Clock::now() < deadline) {
    if (!fill(output_, outputBuffer_, Milliseconds(remainingMs(deadline)))) outputEnded_ = true;
  }
  std::string all;
  all.swap(outputBuffer_);
  return all;
}

std::string ChildProcess::readToEnd(Milliseconds timeout) { return readFor(timeout); }

std::string ChildProcess::readAllErrors(Milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    if (!fill(errors_, errorBuffer_, Milliseconds(remainingMs(deadline)))) break;
  }
  std::string all;
  all.swap(errorBuffer_);
  return all;
}

void ChildProcess::writeLine(const std::string& line) {
  const std::string text = line + "\n";
  if (write(input_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
    throw std::runtime_error("write to child failed");
  }
}

void ChildProcess::closeInput() {
  if (input_ >= 0) close(input_);
  input_ = -1;
}

void ChildProcess::closeOutput() {
  if (output_ >= 0) close(output_);
  output_ = -1;
  outputEnded_ = true;
}

void ChildProcess::sendSignal(int signalNumber) {
  if (pid_ > 0 && !status_) kill(pid_, signalNumber);
}

std::optional<int> ChildProcess::waitForExit(Milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!status_) {
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      status_ = status;
      break;
    }
    if (Clock::now() >= deadline) break;
    std::this_thread::sleep_for(Milliseconds(2));
  }
  return status_;
}

std::optional<int> runToEnd(const std::vector<std::string>& argv, Milliseconds timeout,
                            const EnvironmentChanges& environment) {
  ChildProcess child(argv, environment);
  child.closeInput();
  return child.waitForExit(timeout);
}

}  // namespace kestrovan::sidecar::e2e
