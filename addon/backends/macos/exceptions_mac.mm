#include "exceptions_mac.h"

#include <optional>
#include <string>
#include <utility>

#include "port/platform_exception.h"

namespace kestrovan::mac {

namespace {

thread_local std::optional<port::PlatformException> kept;

std::string utf8(NSString* text) {
  const char* bytes = text.UTF8String;
  return bytes ? std::string(bytes) : std::string();
}

}  // namespace

void keepException(id exception) {
  if (kept) return;
  if ([exception isKindOfClass:[NSException class]]) {
    NSException* raised = exception;
    kept = port::PlatformException{utf8(raised.name), utf8(raised.reason)};
  } else {
    kept = port::PlatformException{utf8(NSStringFromClass([exception class])),
                                   utf8([exception description])};
  }
}

}  // namespace kestrovan::mac

namespace kestrovan::port {

std::optional<PlatformException> takePlatformException() {
  return std::exchange(mac::kept, std::nullopt);
}

bool platformExceptionPending() { return mac::kept.has_value(); }

}  // namespace kestrovan::port
