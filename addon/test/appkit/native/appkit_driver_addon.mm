// Test-only addon (kestrovan_appkit_test_driver.node, macOS only, never
// shipped): the AppKit desktop for the addon's node suites. It sets up the
// application object, turns the main run loop and the event queue when the
// driver asks (plain Node runs neither), makes real windows, posts real
// events into them, keeps the addon's diagnostic lines and the latest drag
// image. Every export runs inside @try and try: what AppKit raises, and every
// failure here, reaches JavaScript as a thrown Error, never as an exception
// unwinding through JavaScript frames.

#import <AppKit/AppKit.h>
#include <node_api.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "application_pump.h"
#include "drag_recording.h"
#include "driver_windows.h"
#include "log_capture.h"
#include "posted_events.h"

namespace {

using namespace kestrovan::appkit_driver;

// A failure that becomes a JavaScript Error.
struct DriverError {
  std::string message;
};

constexpr size_t maxArguments = 8;

std::string ordinal(size_t index) { return "argument " + std::to_string(index + 1); }

class Arguments {
 public:
  Arguments(napi_env environment, napi_callback_info info) : env(environment) {
    if (napi_get_cb_info(env, info, &count, values, nullptr, nullptr) != napi_ok) throw DriverError{"bad arguments"};
  }
  napi_value at(size_t index) const {
    if (index >= count) throw DriverError{"missing " + ordinal(index)};
    return values[index];
  }
  bool present(size_t index) const {
    if (index >= count) return false;
    napi_valuetype type;
    return napi_typeof(env, values[index], &type) == napi_ok && type != napi_undefined && type != napi_null;
  }
  double number(size_t index) const {
    double value;
    if (napi_get_value_double(env, at(index), &value) != napi_ok) throw DriverError{ordinal(index) + " is not a number"};
    return value;
  }
  int64_t integer(size_t index) const {
    int64_t value;
    if (napi_get_value_int64(env, at(index), &value) != napi_ok) throw DriverError{ordinal(index) + " is not a number"};
    return value;
  }
  bool boolean(size_t index) const {
    bool value;
    if (napi_get_value_bool(env, at(index), &value) != napi_ok) throw DriverError{ordinal(index) + " is not a boolean"};
    return value;
  }
  std::string text(size_t index) const {
    size_t length = 0;
    if (napi_get_value_string_utf8(env, at(index), nullptr, 0, &length) != napi_ok) {
      throw DriverError{ordinal(index) + " is not a string"};
    }
    std::string value(length + 1, '\0');
    napi_get_value_string_utf8(env, at(index), value.data(), value.size(), &length);
    value.resize(length);
    return value;
  }
  // An array of numbers, read in groups of four as rectangles (x, y, width, height).
  std::vector<NSRect> rects(size_t index) const {
    uint32_t length = 0;
    if (napi_get_array_length(env, at(index), &length) != napi_ok || length % 4 != 0) {
      throw DriverError{ordinal(index) + " is not an array of x, y, width, height"};
    }
    std::vector<double> numbers(length);
    for (uint32_t i = 0; i < length; ++i) {
      napi_value element;
      if (napi_get_element(env, at(index), i, &element) != napi_ok ||
          napi_get_value_double(env, element, &numbers[i]) != napi_ok) {
        throw DriverError{ordinal(index) + " holds a value that is not a number"};
      }
    }
    std::vector<NSRect> out;
    for (uint32_t i = 0; i < length; i += 4) {
      out.push_back(NSMakeRect(numbers[i], numbers[i + 1], numbers[i + 2], numbers[i + 3]));
    }
    return out;
  }

 private:
  napi_env env;
  napi_value values[maxArguments] = {};
  size_t count = maxArguments;
};

napi_value undefinedValue(napi_env env) {
  napi_value value;
  napi_get_undefined(env, &value);
  return value;
}
napi_value booleanValue(napi_env env, bool flag) {
  napi_value value;
  napi_get_boolean(env, flag, &value);
  return value;
}
napi_value numberValue(napi_env env, double number) {
  napi_value value;
  napi_create_double(env, number, &value);
  return value;
}
napi_value pointValue(napi_env env, CGPoint point) {
  napi_value array;
  napi_create_array_with_length(env, 2, &array);
  napi_set_element(env, array, 0, numberValue(env, point.x));
  napi_set_element(env, array, 1, numberValue(env, point.y));
  return array;
}

NSWindow* windowArgument(const Arguments& args, size_t index) {
  int64_t number = args.integer(index);
  NSWindow* window = driverWindow(static_cast<NSInteger>(number));
  if (!window) throw DriverError{"no driver window has the number " + std::to_string(number)};
  return window;
}

std::string utf8(NSString* _Nullable text) {
  const char* bytes = text.UTF8String;
  return bytes ? bytes : "";
}

// Runs `body(arguments)`; whatever it raises (Objective-C) or throws (C++)
// becomes a JavaScript Error with that reason.
template <typename Body>
napi_value guarded(napi_env env, napi_callback_info info, Body body) {
  std::string failure;
  @try {
    try {
      Arguments args(env, info);
      return body(args);
    } catch (const DriverError& error) {
      failure = error.message;
    } catch (const std::exception& error) {
      failure = error.what();
    }
  } @catch (NSException* exception) {
    failure = utf8(exception.name) + ": " + utf8(exception.reason);
  } @catch (id thrown) {
    failure = "Objective-C exception: " + utf8([thrown description]);
  }
  napi_throw_error(env, "KESTROVAN_APPKIT_DRIVER", failure.empty() ? "unknown failure" : failure.c_str());
  return nullptr;
}

#define DRIVER_EXPORT(name) napi_value name(napi_env env, napi_callback_info info)

// setUp() -> { canPostRealEvents }: the application, the log capture and the
// drag recording (each once).
DRIVER_EXPORT(jsSetUp) {
  return guarded(env, info, [&](const Arguments&) {
    setUpApplication();
    if (!startLogCapture()) throw DriverError{std::string("cannot capture standard error: ") + std::strerror(errno)};
    startDragRecording();
    napi_value result;
    napi_create_object(env, &result);
    napi_set_named_property(env, result, "canPostRealEvents", booleanValue(env, canPostRealEvents()));
    return result;
  });
}

// pump(seconds)
DRIVER_EXPORT(jsPump) {
  return guarded(env, info, [&](const Arguments& args) {
    pump(args.number(0));
    return undefinedValue(env);
  });
}

// settle(seconds) -> boolean
DRIVER_EXPORT(jsSettle) {
  return guarded(env, info, [&](const Arguments& args) { return booleanValue(env, settle(args.number(0))); });
}

// createWindow([x, y, width, height], key, [web view x, y, width, height] | null,
//              [drag regions: x, y, width, height, ...] | null) -> window number
DRIVER_EXPORT(jsCreateWindow) {
  return guarded(env, info, [&](const Arguments& args) {
    std::vector<NSRect> frame = args.rects(0);
    if (frame.size() != 1) throw DriverError{"the window frame is one rectangle"};
    WebViewPlacement web;
    bool hasWeb = args.present(2);
    if (hasWeb) {
      std::vector<NSRect> webFrame = args.rects(2);
      if (webFrame.size() != 1) throw DriverError{"the web view frame is one rectangle"};
      web.frame = webFrame[0];
      if (args.present(3)) web.dragRegions = args.rects(3);
    }
    NSInteger number = createWindow(frame[0], args.boolean(1), hasWeb ? &web : nullptr);
    return numberValue(env, static_cast<double>(number));
  });
}

DRIVER_EXPORT(jsMakeKey) {
  return guarded(env, info, [&](const Arguments& args) {
    makeKey(windowArgument(args, 0));
    return undefinedValue(env);
  });
}

DRIVER_EXPORT(jsCloseWindow) {
  return guarded(env, info, [&](const Arguments& args) {
    closeWindow(windowArgument(args, 0));
    return undefinedValue(env);
  });
}

DRIVER_EXPORT(jsCloseAllWindows) {
  return guarded(env, info, [&](const Arguments&) {
    closeAllWindows();
    return undefinedValue(env);
  });
}

DRIVER_EXPORT(jsWebViewScrolls) {
  return guarded(env, info, [&](const Arguments& args) {
    return numberValue(env, static_cast<double>(webViewScrolls(windowArgument(args, 0))));
  });
}

// postMouse(windowNumber, type, button, buttonNumber, x, y, clickCount, real)
DRIVER_EXPORT(jsPostMouse) {
  return guarded(env, info, [&](const Arguments& args) {
    NSWindow* window = windowArgument(args, 0);
    MouseEventRequest request{args.text(1), args.text(2), args.integer(3), NSMakePoint(args.number(4), args.number(5)),
                              args.integer(6)};
    postMouse(window, request, args.boolean(7));
    return undefinedValue(env);
  });
}

// postScroll(windowNumber, x, y, deltaX, deltaY)
DRIVER_EXPORT(jsPostScroll) {
  return guarded(env, info, [&](const Arguments& args) {
    postScroll(windowArgument(args, 0), NSMakePoint(args.number(1), args.number(2)), args.number(3), args.number(4));
    return undefinedValue(env);
  });
}

// globalPoint(windowNumber, x, y) -> [x, y]: a content point in global display
// points (from the main display's top left, as CGEvent locations)
DRIVER_EXPORT(jsGlobalPoint) {
  return guarded(env, info, [&](const Arguments& args) {
    NSWindow* window = windowArgument(args, 0);
    return pointValue(env, globalPointOfContentPoint(window, NSMakePoint(args.number(1), args.number(2))));
  });
}

// webViewDragEvents(windowNumber) -> JSON text (driver_windows.h)
DRIVER_EXPORT(jsWebViewDragEvents) {
  return guarded(env, info, [&](const Arguments& args) {
    std::string json = utf8(webViewDragEventsJSON(windowArgument(args, 0)));
    napi_value value;
    napi_create_string_utf8(env, json.data(), json.size(), &value);
    return value;
  });
}

// dropTargetPoint() -> [x, y]
DRIVER_EXPORT(jsDropTargetPoint) {
  return guarded(env, info, [&](const Arguments&) { return pointValue(env, dropTargetPoint()); });
}

// releaseRealMouse(x, y): a real left-button release there (global display points)
DRIVER_EXPORT(jsReleaseRealMouse) {
  return guarded(env, info, [&](const Arguments& args) {
    if (!canPostRealEvents()) throw DriverError{"this process may not post events (CGPreflightPostEventAccess)"};
    releaseRealMouse(CGPointMake(args.number(0), args.number(1)));
    return undefinedValue(env);
  });
}

// armNestedLoopWatchdog(seconds, x, y): see posted_events.h
DRIVER_EXPORT(jsArmNestedLoopWatchdog) {
  return guarded(env, info, [&](const Arguments& args) {
    armNestedLoopWatchdog(args.number(0), CGPointMake(args.number(1), args.number(2)));
    return undefinedValue(env);
  });
}

// pressedMouseButtons() -> number (NSEvent.pressedMouseButtons)
DRIVER_EXPORT(jsPressedMouseButtons) {
  return guarded(env, info, [&](const Arguments&) {
    return numberValue(env, static_cast<double>(NSEvent.pressedMouseButtons));
  });
}

// takeLogLines(tag) -> string[]: the lines holding `tag` since the last call, from the tag on
DRIVER_EXPORT(jsTakeLogLines) {
  return guarded(env, info, [&](const Arguments& args) {
    std::vector<std::string> taken = takeLogLines(args.text(0));
    napi_value array;
    napi_create_array_with_length(env, taken.size(), &array);
    for (size_t i = 0; i < taken.size(); ++i) {
      napi_value line;
      napi_create_string_utf8(env, taken[i].data(), taken[i].size(), &line);
      napi_set_element(env, array, static_cast<uint32_t>(i), line);
    }
    return array;
  });
}

// latestDragImagePng() -> Buffer | null
DRIVER_EXPORT(jsLatestDragImagePng) {
  return guarded(env, info, [&](const Arguments&) {
    NSData* png = latestDragImagePng();
    napi_value value;
    if (!png) {
      napi_get_null(env, &value);
    } else {
      napi_create_buffer_copy(env, png.length, png.bytes, nullptr, &value);
    }
    return value;
  });
}

// dragsBegun() -> number of drags begun in this process
DRIVER_EXPORT(jsDragsBegun) {
  return guarded(env, info, [&](const Arguments&) { return numberValue(env, static_cast<double>(dragsBegun())); });
}

#undef DRIVER_EXPORT

napi_value initialize(napi_env env, napi_value exports) {
  struct Entry {
    const char* name;
    napi_callback callback;
  };
  const Entry entries[] = {
      {"setUp", jsSetUp},
      {"pump", jsPump},
      {"settle", jsSettle},
      {"createWindow", jsCreateWindow},
      {"makeKey", jsMakeKey},
      {"closeWindow", jsCloseWindow},
      {"closeAllWindows", jsCloseAllWindows},
      {"webViewScrolls", jsWebViewScrolls},
      {"postMouse", jsPostMouse},
      {"postScroll", jsPostScroll},
      {"globalPoint", jsGlobalPoint},
      {"dropTargetPoint", jsDropTargetPoint},
      {"webViewDragEvents", jsWebViewDragEvents},
      {"releaseRealMouse", jsReleaseRealMouse},
      {"armNestedLoopWatchdog", jsArmNestedLoopWatchdog},
      {"pressedMouseButtons", jsPressedMouseButtons},
      {"takeLogLines", jsTakeLogLines},
      {"latestDragImagePng", jsLatestDragImagePng},
      {"dragsBegun", jsDragsBegun},
  };
  std::vector<napi_property_descriptor> properties;
  for (const Entry& entry : entries) {
    properties.push_back({entry.name, nullptr, entry.callback, nullptr, nullptr, nullptr, napi_default, nullptr});
  }
  napi_define_properties(env, exports, properties.size(), properties.data());
  return exports;
}

}  // namespace

NAPI_MODULE_INIT() { return initialize(env, exports); }
