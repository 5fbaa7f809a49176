// Objective-C exceptions that AppKit raises inside a port call. An exception
// unwinding through JavaScript frames ends the host process, so no port call
// ever lets one out: the call catches it, answers its failure value (none,
// false, zero, or does nothing) and keeps the exception here, on the thread
// that made the call, until the core takes it. The core looks after each
// AppKit entry that can raise and turns a kept exception into a rejection.
#pragma once

#include <optional>
#include <string>

namespace kestrovan::port {

struct PlatformException {
  std::string name;    // NSException name
  std::string reason;  // NSException reason; empty when it has none
};

// The exception kept since the last take (the first one, when several were
// raised), taken out; none when no port call raised.
std::optional<PlatformException> takePlatformException();

// Whether an exception is kept now.
bool platformExceptionPending();

}  // namespace kestrovan::port
