// EventMonitorPort: global mouse-event monitors, which call a handler on the
// main thread for matching events that go to any other process.
//
// The masks are AppKit's event-type bits; the backends outside macOS map them
// onto what their window server reports. The handler gets no event: the
// sidecar reads whatever it needs from the other ports when it runs.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace kestrovan::sidecar {

using MonitorToken = std::uint64_t;

inline constexpr std::uint64_t kLeftMouseDownMask = std::uint64_t{1} << 1;
inline constexpr std::uint64_t kLeftMouseUpMask = std::uint64_t{1} << 2;
inline constexpr std::uint64_t kRightMouseDownMask = std::uint64_t{1} << 3;
inline constexpr std::uint64_t kLeftMouseDraggedMask = std::uint64_t{1} << 6;
inline constexpr std::uint64_t kOtherMouseDownMask = std::uint64_t{1} << 25;

class EventMonitorPort {
 public:
  // Installs a monitor; returns its token, or none when it cannot be installed.
  virtual std::optional<MonitorToken> addGlobalMonitor(std::uint64_t mask,
                                                       std::function<void()> handler) = 0;

  // Removes a monitor installed by `addGlobalMonitor` or
  // `addDragPasteboardChangeMonitor`; its handler is not called again.
  virtual void removeMonitor(MonitorToken token) = 0;

  // Whether the global monitors see every press of a mouse button, whoever
  // it goes to and whatever grab another client holds, from the moment they
  // are installed. Where they do (and pasteboard changes are reported too), a
  // timer that matters only while a button is down may be stopped in between
  // and started again by the next press.
  virtual bool monitorsSeeEveryPress() = 0;

  // Installs a monitor of the drag pasteboard: `handler` runs on the main
  // thread after each change of `dragPasteboardChangeCount`. Returns none
  // where the platform cannot tell (AppKit posts nothing for it).
  virtual std::optional<MonitorToken> addDragPasteboardChangeMonitor(
      std::function<void()> handler) = 0;

 protected:
  ~EventMonitorPort() = default;
};

}  // namespace kestrovan::sidecar
