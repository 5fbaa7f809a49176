// Running AppKit calls that can raise: an Objective-C exception never leaves
// a port call (port/platform_exception.h). The first one caught since the
// core last took one is kept, per thread.
#pragma once

#import <Foundation/Foundation.h>

namespace kestrovan::mac {

// Keeps `exception` (an NSException, or any other object thrown) for the core.
void keepException(id exception);

// Runs `body` inside @try: its result, or `failure` after keeping what it raised.
template <typename Result, typename Body>
Result catchingExceptions(Result failure, Body&& body) {
  @try {
    return body();
  } @catch (id exception) {
    keepException(exception);
  }
  return failure;
}

// The same for a body that answers nothing.
template <typename Body>
void catchingExceptions(Body&& body) {
  @try {
    body();
  } @catch (id exception) {
    keepException(exception);
  }
}

}  // namespace kestrovan::mac
