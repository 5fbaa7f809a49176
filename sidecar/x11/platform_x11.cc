#include "x11/platform_x11.h"

#include <X11/extensions/XInput2.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>
#include <errno.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "x11/selection_x11.h"

namespace kestrovan::sidecar {
namespace {

void writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return;  // the reader is gone; SIGPIPE keeps its default action
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

bool isWaylandSession() {
  const char* sessionType = std::getenv("XDG_SESSION_TYPE");
  if (sessionType != nullptr && std::strcmp(sessionType, "wayland") == 0) return true;
  const char* waylandDisplay = std::getenv("WAYLAND_DISPLAY");
  return waylandDisplay != nullptr && waylandDisplay[0] != '\0';
}

// Protocol errors (an owner window that vanished mid-conversion, say) are not
// fatal to the sidecar; Xlib's default handler would end the process.
int ignoreXError(Display*, XErrorEvent*) { return 0; }

int lostConnection(Display*) {
  static constexpr std::string_view kLine =
      "[KestrovanDragDropzone] Sidecar failed: Lost the connection to the X display.\n";
  writeAll(STDERR_FILENO, kLine);
  _exit(1);
}

constexpr unsigned bitFor(int rawEventType) { return 1u << rawEventType; }

}  // namespace

X11Platform::X11Platform() { sigemptyset(&blockedSignals_); }

X11Platform::~X11Platform() {
  for (const auto& [token, timer] : timers_) ::close(timer.fd);
  if (signalFd_ >= 0) ::close(signalFd_);
  selection_.reset();
  if (display_ != nullptr) XCloseDisplay(display_);
}

std::optional<std::string> X11Platform::connectToWindowServer() {
  if (isWaylandSession()) writeStandardError(kWaylandWarning);

  const char* name = std::getenv("DISPLAY");
  display_ = XOpenDisplay(nullptr);
  if (display_ == nullptr) {
    if (name == nullptr || name[0] == '\0') {
      return std::string("Cannot open the X display: DISPLAY is not set.");
    }
    return "Cannot open the X display \"" + std::string(name) + "\".";
  }
  XSetErrorHandler(ignoreXError);
  XSetIOErrorHandler(lostConnection);
  root_ = DefaultRootWindow(display_);

  int randrErrorBase = 0;
  if (XRRQueryExtension(display_, &randrEventBase_, &randrErrorBase)) {
    int major = 1;
    int minor = 5;
    if (XRRQueryVersion(display_, &major, &minor)) {
      randrMonitors_ = major > 1 || (major == 1 && minor >= 5);
    }
    XRRSelectInput(display_, root_,
                   RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
  } else {
    randrEventBase_ = -1;
  }
  int xineramaEventBase = 0;
  int xineramaErrorBase = 0;
  xinerama_ = XineramaQueryExtension(display_, &xineramaEventBase, &xineramaErrorBase) &&
              XineramaIsActive(display_);
  readPrimaryMonitor();

  int fixesEventBase = 0;
  int fixesErrorBase = 0;
  if (!XFixesQueryExtension(display_, &fixesEventBase, &fixesErrorBase)) {
    return "The X display \"" + std::string(DisplayString(display_)) +
           "\" has no XFixes extension.";
  }
  int fixesMajor = 5;
  int fixesMinor = 0;
  XFixesQueryVersion(display_, &fixesMajor, &fixesMinor);
  selection_ = std::make_unique<XdndSelectionReader>(display_, root_, fixesEventBase);

  // Raw events reach a client despite another client's grab only once it has
  // announced XInput 2.1 or later.
  int opcode = 0;
  int eventBase = 0;
  int errorBase = 0;
  if (XQueryExtension(display_, "XInputExtension", &opcode, &eventBase, &errorBase)) {
    int major = 2;
    int minor = 2;
    if (XIQueryVersion(display_, &major, &minor) == Success &&
        (major > 2 || (major == 2 && minor >= 1))) {
      xiOpcode_ = opcode;
      XIGetClientPointer(display_, None, &clientPointer_);
    }
  }
  return std::nullopt;
}

void X11Platform::readPrimaryMonitor() {
  Window rootReturn = 0;
  int x = 0;
  int y = 0;
  unsigned width = 0;
  unsigned height = 0;
  unsigned border = 0;
  unsigned depth = 0;
  if (XGetGeometry(display_, root_, &rootReturn, &x, &y, &width, &height, &border, &depth)) {
    primary_ = MonitorGeometry{0, 0, static_cast<int>(width), static_cast<int>(height)};
  }
  if (randrMonitors_) {
    int count = 0;
    XRRMonitorInfo* monitors = XRRGetMonitors(display_, root_, True, &count);
    bool found = false;
    for (int i = 0; i < count && !found; ++i) {
      if (monitors[i].primary) {
        primary_ =
            MonitorGeometry{monitors[i].x, monitors[i].y, monitors[i].width, monitors[i].height};
        found = true;
      }
    }
    if (monitors != nullptr) XRRFreeMonitors(monitors);
    if (found) return;
  }
  // No RandR primary: Xinerama's first head, not the root, which spans every
  // head (several screens joined by Xinerama make a root taller or wider than
  // any one of them).
  if (!xinerama_) return;
  int heads = 0;
  XineramaScreenInfo* screens = XineramaQueryScreens(display_, &heads);
  if (screens != nullptr && heads > 0) {
    primary_ =
        MonitorGeometry{screens[0].x_org, screens[0].y_org, screens[0].width, screens[0].height};
  }
  if (screens != nullptr) XFree(screens);
}

bool X11Platform::handleRandrEvent(XEvent& event) {
  if (randrEventBase_ < 0) return false;
  if (event.type != randrEventBase_ + RRScreenChangeNotify &&
      event.type != randrEventBase_ + RRNotify) {
    return false;
  }
  XRRUpdateConfiguration(&event);
  readPrimaryMonitor();
  return true;
}

void X11Platform::activateAsAccessory() {
  // X11 has no Dock or menu bar to stay out of: the sidecar maps no window.
}

ScreenPoint X11Platform::mouseLocation() {
  Window rootReturn = 0;
  Window child = 0;
  int rootX = 0;
  int rootY = 0;
  int windowX = 0;
  int windowY = 0;
  unsigned mask = 0;
  if (XQueryPointer(display_, root_, &rootReturn, &child, &rootX, &rootY, &windowX, &windowY,
                    &mask)) {
    lastPointer_ = ScreenPoint{static_cast<double>(rootX - primary_.x),
                               static_cast<double>(primary_.y + primary_.height - rootY)};
  }
  return lastPointer_;  // on another screen: where it was last seen on this one
}

std::uint64_t X11Platform::pressedMouseButtons() {
  Window rootReturn = 0;
  Window child = 0;
  int x = 0;
  int y = 0;
  unsigned mask = 0;
  XQueryPointer(display_, root_, &rootReturn, &child, &x, &y, &x, &y, &mask);
  std::uint64_t buttons = 0;
  if (mask & Button1Mask) buttons |= 1u << 0;  // left
  if (mask & Button3Mask) buttons |= 1u << 1;  // right
  if (mask & Button2Mask) buttons |= 1u << 2;  // middle
  return buttons;  // Button4Mask and Button5Mask are the wheel: no presses
}

bool X11Platform::hardwareLeftButtonDown() {
  if (xiOpcode_ < 0) return (pressedMouseButtons() & 1u) != 0;
  Window rootReturn = 0;
  Window child = 0;
  double rootX = 0;
  double rootY = 0;
  double windowX = 0;
  double windowY = 0;
  XIButtonState buttons{};
  XIModifierState modifiers{};
  XIGroupState group{};
  const Bool onScreen = XIQueryPointer(display_, clientPointer_, root_, &rootReturn, &child, &rootX,
                                       &rootY, &windowX, &windowY, &buttons, &modifiers, &group);
  const bool down = onScreen && buttons.mask_len > 0 && XIMaskIsSet(buttons.mask, 1);
  if (buttons.mask != nullptr) XFree(buttons.mask);
  return down;
}

std::int64_t X11Platform::dragPasteboardChangeCount() { return selection_->changeCount(); }

bool X11Platform::dragPasteboardCanReadFileURLs() { return selection_->offersFileURIs(); }

std::optional<std::vector<std::string>> X11Platform::dragPasteboardTypes() {
  return selection_->targets();
}

// No X11 toolkit receives AppKit's promises: only the core's names count.
std::vector<std::string> X11Platform::filePromiseReadableTypes() { return {}; }

std::optional<MonitorToken> X11Platform::addGlobalMonitor(std::uint64_t mask,
                                                          std::function<void()> handler) {
  if (xiOpcode_ < 0) return std::nullopt;
  const MonitorToken token = nextToken_++;
  monitors_.emplace(token, Monitor{mask, std::move(handler)});
  const bool releasesWereSelected = (selectedRawEvents_ & bitFor(XI_RawButtonRelease)) != 0;
  updateRawEventSelection();
  // A press held since before the sidecar listened sent no raw press. Now that
  // releases are selected, a pointer query (answered after the selection took
  // effect) that shows the left button down means the release is still to
  // come: raw motion counts as dragging from here on.
  if (!releasesWereSelected && (selectedRawEvents_ & bitFor(XI_RawButtonRelease)) != 0 &&
      (pressedMouseButtons() & 1u) != 0) {
    rawLeftDown_ = true;
    updateRawEventSelection();
  }
  return token;
}

void X11Platform::removeMonitor(MonitorToken token) {
  monitors_.erase(token);
  pasteboardMonitors_.erase(token);
  updateRawEventSelection();
}

// Raw events reach the root window whatever grab another client holds.
bool X11Platform::monitorsSeeEveryPress() { return xiOpcode_ >= 0; }

std::optional<MonitorToken> X11Platform::addDragPasteboardChangeMonitor(
    std::function<void()> handler) {
  const MonitorToken token = nextToken_++;
  pasteboardMonitors_.emplace(token, std::move(handler));
  return token;
}

void X11Platform::updateRawEventSelection() {
  std::uint64_t wanted = 0;
  for (const auto& [token, monitor] : monitors_) wanted |= monitor.mask;
  unsigned events = 0;
  constexpr std::uint64_t kAnyDown = kLeftMouseDownMask | kRightMouseDownMask | kOtherMouseDownMask;
  // The dragged monitor needs the left button's presses and releases to know
  // when motion counts as dragging.
  if (wanted & (kAnyDown | kLeftMouseDraggedMask)) events |= bitFor(XI_RawButtonPress);
  if (wanted & (kLeftMouseUpMask | kLeftMouseDraggedMask)) events |= bitFor(XI_RawButtonRelease);
  if ((wanted & kLeftMouseDraggedMask) && rawLeftDown_) events |= bitFor(XI_RawMotion);
  if (events == selectedRawEvents_) return;
  selectedRawEvents_ = events;

  unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
  for (const int type : {XI_RawButtonPress, XI_RawButtonRelease, XI_RawMotion}) {
    if (events & bitFor(type)) XISetMask(bits, type);
  }
  XIEventMask eventMask{XIAllMasterDevices, static_cast<int>(sizeof(bits)), bits};
  XISelectEvents(display_, root_, &eventMask, 1);
  XFlush(display_);
}

void X11Platform::fireMonitors(std::uint64_t eventMask) {
  std::vector<MonitorToken> matching;
  for (const auto& [token, monitor] : monitors_) {
    if (monitor.mask & eventMask) matching.push_back(token);
  }
  for (const MonitorToken token : matching) {
    if (exitRequested_) return;
    const auto found = monitors_.find(token);  // an earlier handler may have removed it
    if (found == monitors_.end()) continue;
    const std::function<void()> handler = found->second.handler;
    handler();
  }
}

void X11Platform::handleXEvent(XEvent& event) {
  if (selection_->handleEvent(event)) {
    std::vector<std::function<void()>> handlers;  // a handler may remove monitors
    for (const auto& [token, handler] : pasteboardMonitors_) handlers.push_back(handler);
    for (const auto& handler : handlers) {
      if (exitRequested_) return;
      handler();
    }
    return;
  }
  if (handleRandrEvent(event)) return;
  if (event.type != GenericEvent || event.xcookie.extension != xiOpcode_) return;
  if (!XGetEventData(display_, &event.xcookie)) return;
  const int type = event.xcookie.evtype;
  const int button = static_cast<const XIRawEvent*>(event.xcookie.data)->detail;
  XFreeEventData(display_, &event.xcookie);

  const bool wheel = button >= 4 && button <= 7;
  if (type == XI_RawButtonPress && !wheel) {
    readPrimaryMonitor();  // the handlers read the pointer in the current monitors' space
    if (button == 1) {
      rawLeftDown_ = true;
      updateRawEventSelection();
      fireMonitors(kLeftMouseDownMask);
    } else {
      fireMonitors(button == 3 ? kRightMouseDownMask : kOtherMouseDownMask);
    }
  } else if (type == XI_RawButtonRelease && button == 1) {
    rawLeftDown_ = false;
    updateRawEventSelection();
    fireMonitors(kLeftMouseUpMask);
  } else if (type == XI_RawMotion && rawLeftDown_) {
    fireMonitors(kLeftMouseDraggedMask);
  }
}

void X11Platform::drainXEvents() {
  while (!exitRequested_ && XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    handleXEvent(event);
  }
}

std::optional<TimerToken> X11Platform::startRepeatingTimer(std::chrono::nanoseconds interval,
                                                           std::function<void()> tick) {
  const int fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (fd < 0) return std::nullopt;
  itimerspec schedule{};
  schedule.it_value.tv_nsec = 1;  // first deadline: now
  schedule.it_interval.tv_sec = static_cast<time_t>(interval.count() / 1'000'000'000);
  schedule.it_interval.tv_nsec = static_cast<long>(interval.count() % 1'000'000'000);
  if (timerfd_settime(fd, 0, &schedule, nullptr) != 0) {
    ::close(fd);
    return std::nullopt;
  }
  const TimerToken token = nextToken_++;
  timers_.emplace(token, Timer{fd, std::move(tick)});
  return token;
}

void X11Platform::cancelTimer(TimerToken token) {
  const auto found = timers_.find(token);
  if (found == timers_.end()) return;
  ::close(found->second.fd);
  timers_.erase(found);
}

void X11Platform::disableDefaultSignalAction(int signalNumber) {
  sigaddset(&blockedSignals_, signalNumber);
  sigprocmask(SIG_BLOCK, &blockedSignals_, nullptr);
}

void X11Platform::addSignalSource(int signalNumber, std::function<void()> handler) {
  signalHandlers_.emplace(signalNumber, std::move(handler));
  const int fd = signalfd(signalFd_, &blockedSignals_, SFD_NONBLOCK | SFD_CLOEXEC);
  if (fd >= 0) signalFd_ = fd;
}

ProcessId X11Platform::parentProcessId() { return getppid(); }

void X11Platform::sendSignalOnParentExit(ProcessId /*parent*/, int signalNumber) {
  // The kernel watches the parent of the moment; one that ended before this
  // line sends nothing, which the core sees in the parent read afterwards.
  prctl(PR_SET_PDEATHSIG, signalNumber);
}

void X11Platform::runPendingSignals() {
  signalfd_siginfo info;
  while (!exitRequested_ && ::read(signalFd_, &info, sizeof(info)) == sizeof(info)) {
    const auto [begin, end] = signalHandlers_.equal_range(static_cast<int>(info.ssi_signo));
    std::vector<std::function<void()>> handlers;
    for (auto it = begin; it != end; ++it) handlers.push_back(it->second);
    for (const auto& handler : handlers) {
      if (exitRequested_) return;
      handler();
    }
  }
}

void X11Platform::runDueTimers(const std::vector<TimerToken>& due) {
  for (const TimerToken token : due) {
    if (exitRequested_) return;
    const auto found = timers_.find(token);  // a handler may have cancelled it
    if (found == timers_.end()) continue;
    std::uint64_t expirations = 0;
    if (::read(found->second.fd, &expirations, sizeof(expirations)) != sizeof(expirations)) {
      continue;
    }
    // Missed expirations are not made up for: one tick per wake-up.
    const std::function<void()> tick = found->second.tick;
    drainXEvents();  // the tick sees the selection's latest change count
    if (!exitRequested_) tick();
  }
}

int X11Platform::runMainLoop() {
  while (!exitRequested_) {
    drainXEvents();
    if (exitRequested_) break;

    std::vector<pollfd> fds;
    std::vector<TimerToken> timerTokens;
    fds.push_back(pollfd{ConnectionNumber(display_), POLLIN, 0});
    if (signalFd_ >= 0) fds.push_back(pollfd{signalFd_, POLLIN, 0});
    for (const auto& [token, timer] : timers_) {
      fds.push_back(pollfd{timer.fd, POLLIN, 0});
      timerTokens.push_back(token);
    }
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      return exitStatus_;
    }
    // Signals first, so nothing is printed once a termination signal is in.
    if (signalFd_ >= 0 && (fds[1].revents & POLLIN)) runPendingSignals();
    if (exitRequested_) break;
    drainXEvents();
    const std::size_t firstTimer = signalFd_ >= 0 ? 2 : 1;
    std::vector<TimerToken> due;
    for (std::size_t i = 0; i < timerTokens.size(); ++i) {
      if (fds[firstTimer + i].revents & POLLIN) due.push_back(timerTokens[i]);
    }
    runDueTimers(due);
  }
  return exitStatus_;
}

void X11Platform::exitProcess(int status) {
  // Unwinds: the loop returns `status` and main returns it.
  exitRequested_ = true;
  exitStatus_ = status;
}

void X11Platform::writeStandardOutput(std::string_view bytes) { writeAll(STDOUT_FILENO, bytes); }

void X11Platform::writeStandardError(std::string_view bytes) { writeAll(STDERR_FILENO, bytes); }

}  // namespace kestrovan::sidecar
