// startPromiseDrag: validates a drag request and begins a drag of promised files.
//
// Nothing outlives a rejection but its log line: the items read are dropped,
// and the callback references (the write callback's, and the request's
// onEnded's when it has one) are created only once every earlier test passed.
// From the session's construction on, the session owns them through its
// listener (bridge/javascript_drag_listener.h); a later rejection abandons
// the session, whose teardown deletes them.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bridge/arguments.h"
#include "bridge/exports.h"
#include "bridge/javascript_drag_listener.h"
#include "bridge/native_log.h"
#include "bridge/stored_callback.h"
#include "bridge/value_helpers.h"
#include "drag/active_sessions.h"
#include "drag/drag_event.h"
#include "drag/drag_session.h"
#include "drag/dragging_items.h"
#include "drag/promise_item_reading.h"
#include "drag/window_exit_arming.h"
#include "port/application.h"
#include "port/dragging.h"
#include "port/platform_exception.h"

namespace kestrovan {

namespace {

// Logs "startPromiseDrag rejected sessionId=<id><reason...>" and answers false.
template <typename... Reason>
napi_value reject(napi_env env, const std::string& sessionId, const Reason&... reason) {
  nativeLogLine("startPromiseDrag rejected sessionId=", sessionId, reason...);
  return booleanResult(env, false);
}

// The rejection for an exception AppKit raised, naming it.
napi_value rejectRaised(napi_env env, const std::string& sessionId,
                        const port::PlatformException& raised) {
  return reject(env, sessionId, ": AppKit exception name=", raised.name, " reason=", raised.reason);
}

// Gives up on a session whose drag never ran, after the rejection's line:
// out of the registry if it was added, then released, so its teardown (its
// line, the references deleted) runs before the rejection is answered.
napi_value abandon(std::shared_ptr<FilePromiseDragSession>& session, napi_value rejection) {
  removeFromActiveSessions(session.get());
  session.reset();
  return rejection;
}

// When AppKit raised in the port calls just made: the rejection naming the
// exception, the session abandoned. None when nothing was raised.
std::optional<napi_value> abandonIfRaised(napi_env env, const std::string& sessionId,
                                          std::shared_ptr<FilePromiseDragSession>& session) {
  std::optional<port::PlatformException> raised = port::takePlatformException();
  if (!raised) return std::nullopt;
  return abandon(session, rejectRaised(env, sessionId, *raised));
}

// The window with the requested number, else the key window, else the main window.
port::WindowPtr sourceWindow(std::optional<int64_t> windowNumber) {
  port::Application* application = port::sharedApplication();
  if (application == nullptr) return nullptr;
  port::WindowPtr window;
  if (windowNumber) window = application->windowWithWindowNumber(*windowNumber);
  if (!window) window = application->keyWindow();
  if (!window) window = application->mainWindow();
  return window;
}

}  // namespace

napi_value startPromiseDrag(napi_env env, napi_callback_info info) {
  // The request and the write callback.
  Arguments arguments = fetchArguments(env, info, 2);
  if (!arguments.fetched || arguments.count < 2) {
    nativeLogLine("startPromiseDrag rejected: invalid arguments argc=", arguments.count);
    return booleanResult(env, false);
  }
  napi_value request = arguments.values[0];
  napi_value writeCallback = arguments.values[1];

  if (!isFunction(env, writeCallback)) {
    nativeLogLine("startPromiseDrag rejected: callback argument is not a function");
    return booleanResult(env, false);
  }

  // The optional drag-ended callback: absent or undefined is no callback;
  // anything else must be a function.
  FunctionPropertyReading onEnded = functionProperty(env, request, "onEnded");
  if (onEnded.state == FunctionPropertyReading::State::kNotFunction) {
    nativeLogLine("startPromiseDrag rejected: onEnded is not a function");
    return booleanResult(env, false);
  }

  // The session id, which every later line names.
  std::optional<std::string> sessionIdText = stringProperty(env, request, "sessionId");
  if (!sessionIdText || sessionIdText->empty()) {
    nativeLogLine("startPromiseDrag rejected: missing sessionId");
    return booleanResult(env, false);
  }
  const std::string sessionId = *sessionIdText;
  nativeLogLine("startPromiseDrag called sessionId=", sessionId);

  // The items: a non-empty array.
  napi_value itemsValue = nullptr;
  bool isArray = false;
  if (napi_get_named_property(env, request, "items", &itemsValue) != napi_ok) {
    discardPendingException(env);
    return reject(env, sessionId, ": items is not an array");
  }
  if (napi_is_array(env, itemsValue, &isArray) != napi_ok || !isArray) {
    discardPendingException(env);  // a revoked Proxy throws on the array test
    return reject(env, sessionId, ": items is not an array");
  }

  uint32_t length = 0;
  if (napi_get_array_length(env, itemsValue, &length) != napi_ok || length == 0) {
    discardPendingException(env);
    return reject(env, sessionId, ": empty items");
  }
  nativeLogLine("startPromiseDrag itemCount sessionId=", sessionId, " count=", length);

  // Each item, in order; the first invalid one rejects the request.
  // No reserve(length): a sparse array may claim 2^32 - 1 elements and hold
  // one; the list grows only with items actually read.
  std::vector<PromiseItemPtr> items;
  const PromiseItemKeys keys(env);
  for (uint32_t index = 0; index < length; ++index) {
    napi_value element = nullptr;
    if (napi_get_element(env, itemsValue, index, &element) != napi_ok) {
      discardPendingException(env);  // an element getter threw
      return booleanResult(env, false);
    }
    PromiseItemReading reading = readPromiseItem(env, element, keys);
    if (!reading.item) {
      return reject(env, sessionId, ": invalid item index=", index,
                    " promiseId=", reading.promiseId, " kind=", reading.kind,
                    " suggestedName=", reading.suggestedName);
    }
    items.push_back(std::move(reading.item));
  }

  // The source window and its content view.
  port::WindowPtr window = sourceWindow(intProperty(env, request, "windowNumber"));
  port::ViewPtr contentView = window ? window->contentView() : nullptr;
  if (!contentView) {
    return reject(env, sessionId, ": no source, key, or main window with a contentView");
  }

  // The left button must be held.
  if ((port::pressedMouseButtons() & 1) == 0) {
    return reject(env, sessionId, ": left mouse button is not pressed");
  }

  // The callback references, made only now that the request is valid.
  StoredCallbackPtr storedWriteCallback =
      StoredCallback::create(env, writeCallback, "KestrovanPromiseWriteRequest");
  if (!storedWriteCallback) return reject(env, sessionId, ": failed to retain callback");
  StoredCallbackPtr storedEndedCallback;
  if (onEnded.state == FunctionPropertyReading::State::kFunction) {
    storedEndedCallback =
        StoredCallback::create(env, onEnded.function, "KestrovanPromiseDragEnded");
    if (!storedEndedCallback) return reject(env, sessionId, ": failed to retain callback");
  }

  std::optional<std::string> iconPath = stringProperty(env, request, "iconPath");
  nativeLogLine("startPromiseDrag preparing AppKit drag sessionId=", sessionId,
                " iconPath=", iconPath, " windowNumber=", window->windowNumber());

  // From here the session owns the references, through its listener.
  std::shared_ptr<FilePromiseDragSession> session = FilePromiseDragSession::create(
      sessionId,
      std::make_unique<JavaScriptDragListener>(std::move(storedWriteCallback),
                                               std::move(storedEndedCallback)),
      static_cast<int64_t>(items.size()));

  // The event the drag starts from.
  port::EventPtr event = currentDragEvent(window);
  if (auto rejection = abandonIfRaised(env, sessionId, session)) return *rejection;
  if (!event) return abandon(session, reject(env, sessionId, ": failed to create drag event"));

  // The dragging items around the event's location in the content view.
  port::Point origin = contentView->convertPointFromWindow(event->locationInWindow());
  std::vector<port::DraggingItemPtr> dragged =
      draggingItems(sessionId, session->peer(), items, iconPath, origin);
  if (auto rejection = abandonIfRaised(env, sessionId, session)) return *rejection;

  // Registered first, then the drag begun with the session as its source.
  addToActiveSessions(session);
  port::DraggingSessionPtr draggingSession =
      port::beginDraggingSession(contentView, dragged, event, session->peer());
  if (draggingSession) draggingSession->setAnimatesToStartingPositionsOnCancelOrFail(true);
  if (auto rejection = abandonIfRaised(env, sessionId, session)) return *rejection;  // no drag
  if (!draggingSession) {
    // Nil without an exception: no drag runs, and none will end this session.
    return abandon(session, reject(env, sessionId, ": beginDraggingSession returned no session"));
  }

  // The drag takes its own mouse-up: no local monitor sees the release that
  // would disarm the window-exit trigger, so the drag disarms it.
  disarmWindowExit();

  nativeLogLine("startPromiseDrag beginDraggingSession returned sessionId=", sessionId,
                " started=YES activeSessions=", activeSessions().size());
  return booleanResult(env, true);
}

}  // namespace kestrovan
