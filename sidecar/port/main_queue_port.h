// MainQueuePort: the main thread's run loop and what it delivers besides
// mouse events: a repeating timer, termination signals, the parent's exit,
// and the way out.
//
// Every handler given here runs on the main thread, one at a time, between
// the event monitors' handlers; none runs in a signal handler's context.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace kestrovan::sidecar {

using TimerToken = std::uint64_t;
using ProcessId = std::int64_t;

class MainQueuePort {
 public:
  // Starts a timer on the main queue whose first deadline is now and that then
  // repeats every `interval` with zero leeway. Returns none when the platform
  // cannot make one.
  virtual std::optional<TimerToken> startRepeatingTimer(std::chrono::nanoseconds interval,
                                                        std::function<void()> tick) = 0;

  // Cancels a timer; its handler is not called again.
  virtual void cancelTimer(TimerToken token) = 0;

  // After this, `signalNumber` no longer ends the process by its default
  // action; it is seen only through a source added with `addSignalSource`.
  virtual void disableDefaultSignalAction(int signalNumber) = 0;

  // Calls `handler` on the main queue each time `signalNumber` arrives. The
  // source lives as long as the platform.
  virtual void addSignalSource(int signalNumber, std::function<void()> handler) = 0;

  // The parent process's id, read now: the process that started this one,
  // or, once that one has ended, the process that adopted this one.
  virtual ProcessId parentProcessId() = 0;

  // Sends `signalNumber` to this process once `parent` (what
  // `parentProcessId` answered just before) has ended, so the parent's death
  // takes the path of that signal. A parent that ends before the watch holds
  // may send nothing: the caller reads `parentProcessId` again afterwards.
  virtual void sendSignalOnParentExit(ProcessId parent, int signalNumber) = 0;

  // Runs the main run loop. Returns only if the loop ends, with the status
  // given to `exitProcess`, or 0 when the loop ran out by itself.
  virtual int runMainLoop() = 0;

  // Ends the process with `status`. On a backend whose loop can unwind, no
  // further handler runs and `runMainLoop` returns `status`.
  virtual void exitProcess(int status) = 0;

 protected:
  ~MainQueuePort() = default;
};

}  // namespace kestrovan::sidecar
