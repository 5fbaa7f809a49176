// orphan-launcher-fixture PROGRAM [ARGUMENT...]: starts PROGRAM as an orphan
// whose parent ended before it ran, as an application that dies right after
// spawning leaves it.
//
// The orphan must be adopted by process 1, as launchd adopts every orphan on
// macOS and init does on Linux, and this fixture must see how it ends. So
// the fixture makes a PID namespace of its own, whose first process (its
// child) is process 1 there and adopts the orphan:
//
//   fixture ── init (pid 1 in the namespace)
//                └─ application ── PROGRAM
//
// The application starts a child and exits at once; the child waits until
// init has adopted it (its parent is 1), then runs PROGRAM with the fixture's
// standard streams. The fixture exits with PROGRAM's status (128 + the
// signal, when a signal ended it). When the fixture is killed, init dies with
// it and the kernel kills everything left in the namespace.
//
// Exit status 77 with a line on standard error: no PID namespace could be
// made (not root, and no user namespaces either).
#include <errno.h>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace {

constexpr int kNoNamespace = 77;

bool writeFile(const char* path, const std::string& text) {
  const int fd = open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  close(fd);
  return written;
}

// A PID namespace for the children: as root directly, otherwise inside a user
// namespace of its own that maps the caller's ids.
bool enterNewPidNamespace() {
  if (unshare(CLONE_NEWPID) == 0) return true;
  const uid_t uid = getuid();
  const gid_t gid = getgid();
  if (unshare(CLONE_NEWUSER | CLONE_NEWPID) != 0) return false;
  writeFile("/proc/self/setgroups", "deny");
  return writeFile("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1") &&
         writeFile("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1");
}

int statusCode(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return 1;
}

[[noreturn]] void runAsOrphan(pid_t application, char* argv[]) {
  // The application exits at once; wait (bounded) until init has adopted us.
  for (int waited = 0; getppid() == application && waited < 5000; ++waited) {
    const timespec millisecond{0, 1'000'000};
    nanosleep(&millisecond, nullptr);
  }
  if (getppid() != 1) {
    std::fprintf(stderr, "orphan-launcher-fixture: not adopted by process 1\n");
    _exit(126);
  }
  execv(argv[0], argv);
  std::fprintf(stderr, "orphan-launcher-fixture: cannot run %s: %s\n", argv[0],
               std::strerror(errno));
  _exit(127);
}

// Process 1 of the namespace: starts the application, adopts its orphan and
// answers with the orphan's status.
[[noreturn]] void runInit(char* argv[]) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);  // the fixture killed: the namespace goes
  const pid_t application = fork();
  if (application < 0) _exit(1);
  if (application == 0) {
    const pid_t self = getpid();
    const pid_t orphan = fork();
    if (orphan == 0) runAsOrphan(self, argv);
    _exit(orphan < 0 ? 1 : 0);
  }
  // The application's exit comes first; the orphan's is the one that counts.
  pid_t ended = 0;
  int status = 0;
  while ((ended = wait(&status)) > 0) {
    if (ended != application) _exit(statusCode(status));
  }
  _exit(1);
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: orphan-launcher-fixture PROGRAM [ARGUMENT...]\n");
    return 2;
  }
  if (!enterNewPidNamespace()) {
    std::fprintf(stderr, "orphan-launcher-fixture: no PID namespace: %s\n", std::strerror(errno));
    return kNoNamespace;
  }
  const pid_t init = fork();
  if (init < 0) return 1;
  if (init == 0) runInit(argv + 1);
  int status = 0;
  while (waitpid(init, &status, 0) < 0 && errno == EINTR) {
  }
  return statusCode(status);
}
