// A recording stand-in for the platform's diagnostic sink and its kept
// Objective-C exceptions (port/diagnostic_sink.h, port/platform_exception.h),
// for tests of the core that run without a desktop.
//
// Every line the core writes is kept, tag and message joined, in order. A
// test keeps an exception as a port call would after AppKit raised, and the
// core takes it the way it takes a real one.
#pragma once

#include <string>
#include <vector>

#include "port/platform_exception.h"

namespace kestrovan::fake {

// The lines written since the last clear.
const std::vector<std::string>& diagnosticLines();
void clearDiagnosticLines();

// Keeps `exception` as the pending one (the first kept wins until taken).
void keepPlatformException(port::PlatformException exception);
// Drops any pending exception.
void clearPlatformException();

}  // namespace kestrovan::fake
