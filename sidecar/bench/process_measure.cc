// Measures the X11 sidecar as a process under a private Xvfb: CPU time used
// while idle for 10 seconds, resident memory, and the delay from a pointer
// move into the trigger zone (during a file drag) to the "DRAG_ENTER" line.
// A benchmark, not a test: it prints figures and checks nothing.
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/child_process.h"
#include "tests/e2e/xvfb_server.h"

using namespace kestrovan::sidecar::e2e;
using namespace std::chrono_literals;

namespace {

double cpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::vector<std::string> values;
  for (std::string v; fields >> v;) values.push_back(v);
  // After the name: state is field 3; utime and stime are fields 14 and 15.
  const double ticks = std::stod(values[11]) + std::stod(values[12]);
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::string statusField(pid_t pid, const std::string& name) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(name + ":", 0) == 0) {
      const std::string value = line.substr(name.size() + 1);
      return value.substr(value.find_first_not_of(" \t"));
    }
  }
  return "?";
}

}  // namespace

int main() {
  XvfbServer server;
  const EnvironmentChanges env{{"DISPLAY", server.display()},
                               {"XDG_SESSION_TYPE", std::nullopt},
                               {"WAYLAND_DISPLAY", std::nullopt}};
  auto xdotool = [&](std::vector<std::string> words) {
    words.insert(words.begin(), "/usr/bin/xdotool");
    runToEnd(words, 5000ms, env);
  };
  const int h = XvfbServer::kHeight;
  xdotool({"mousemove", "1100", std::to_string(h - 100)});
  ChildProcess sidecar({KESTROVAN_SIDECAR_PATH, "--tray-frame", "100,700,200,30"}, env);
  for (int i = 0; i < 25; ++i) {
    xdotool({"click", "1"});
    if (sidecar.readLine(200ms)) break;
  }
  sidecar.readFor(300ms);

  const double cpuBefore = cpuSeconds(sidecar.pid());
  std::this_thread::sleep_for(10s);
  const double cpuIdle = cpuSeconds(sidecar.pid()) - cpuBefore;
  std::printf("idle CPU over 10 s: %.3f s (%.2f%% of one core)\n", cpuIdle, cpuIdle * 10.0);
  std::printf("resident memory: VmRSS %s, VmHWM %s\n", statusField(sidecar.pid(), "VmRSS").c_str(),
              statusField(sidecar.pid(), "VmHWM").c_str());

  std::vector<double> delays;
  for (int round = 0; round < 20; ++round) {
    xdotool({"mousemove", "1000", std::to_string(h - 650), "mousedown", "1"});
    sidecar.readLine(1000ms);  // OUTSIDE_CLICK
    ChildProcess source({KESTROVAN_DRAG_SOURCE_FIXTURE_PATH, "--offer", "files"}, env);
    source.readLine(5000ms);
    std::this_thread::sleep_for(120ms);
    const auto start = std::chrono::steady_clock::now();
    xdotool({"mousemove", "200", std::to_string(h - 650)});
    const auto line = sidecar.readLine(2000ms);
    const auto end = std::chrono::steady_clock::now();
    if (line == "DRAG_ENTER") {
      delays.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    xdotool({"mousemove", "1100", std::to_string(h - 100), "mouseup", "1"});
    sidecar.readLine(1000ms);  // DRAG_EXIT
  }
  std::sort(delays.begin(), delays.end());
  if (!delays.empty()) {
    std::printf(
        "move into trigger zone -> DRAG_ENTER over %zu drags: min %.1f ms, median %.1f ms, "
        "max %.1f ms (includes starting xdotool)\n",
        delays.size(), delays.front(), delays[delays.size() / 2], delays.back());
  }
  sidecar.sendSignal(SIGTERM);
  sidecar.waitForExit(5000ms);
  return 0;
}
