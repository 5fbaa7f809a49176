#include "bridge/javascript_drag_listener.h"

#include <utility>

#include "bridge/environment_teardown.h"
#include "bridge/native_log.h"
#include "bridge/value_helpers.h"
#include "drag/active_sessions.h"

namespace kestrovan {

JavaScriptDragListener::JavaScriptDragListener(StoredCallbackPtr writeCallback,
                                               StoredCallbackPtr endedCallback)
    : writeCallback_(std::move(writeCallback)), endedCallback_(std::move(endedCallback)) {}

JavaScriptDragListener::~JavaScriptDragListener() {
  writeCallback_.reset();
  endedCallback_.reset();
}

bool JavaScriptDragListener::writeRequested(const WriteRequest& request) {
  // A released callback (its environment has ended) is never called.
  napi_env env = writeCallback_ ? writeCallback_->env() : nullptr;
  napi_handle_scope scope = nullptr;
  const bool scopeOpened = env != nullptr && napi_open_handle_scope(env, &scope) == napi_ok;
  napi_value payload = nullptr;
  const bool built = scopeOpened && napi_create_object(env, &payload) == napi_ok &&
                     setStringProperty(env, payload, "sessionId", request.sessionId) &&
                     setStringProperty(env, payload, "promiseId", request.promiseId) &&
                     setStringProperty(env, payload, "destinationPath", request.destinationPath) &&
                     setStringProperty(env, payload, "destinationKind", request.destinationKind) &&
                     setStringProperty(env, payload, "completionToken", request.completionToken);
  if (!built) {
    if (scopeOpened) napi_close_handle_scope(env, scope);
    nativeLogLine("failed to create JS write-request payload sessionId=", request.sessionId,
                  " promiseId=", request.promiseId, " token=", request.completionToken);
    return false;
  }

  // Outside every export: an exception the callback throws becomes an
  // uncaught exception of the process and leaves nothing pending behind.
  // JavaScript may complete this very write (or others) before it returns.
  const napi_status status = writeCallback_->call(1, &payload, nullptr);
  napi_close_handle_scope(env, scope);

  if (status != napi_ok) {
    nativeLogLine("JS write-request callback failed sessionId=", request.sessionId,
                  " promiseId=", request.promiseId, " token=", request.completionToken,
                  " napiStatus=", static_cast<unsigned>(status));
    return false;
  }
  nativeLogLine("JS write-request callback delivered sessionId=", request.sessionId,
                " promiseId=", request.promiseId, " destination=", request.destinationPath);
  return true;
}

void JavaScriptDragListener::dragEnded(const DragEnd& end) {
  // Kept until the call returns, so an environment ending during the call
  // still releases it (and it is let go of once).
  if (!endedCallback_ || endedCallback_->env() == nullptr) return;
  StoredCallback& callback = *endedCallback_;
  napi_env env = callback.env();
  napi_handle_scope scope = nullptr;
  if (napi_open_handle_scope(env, &scope) != napi_ok) {
    endedCallback_.reset();
    return;
  }
  napi_value ended = nullptr;
  napi_value point = nullptr;
  const bool built =
      napi_create_object(env, &ended) == napi_ok && napi_create_object(env, &point) == napi_ok &&
      setNumberProperty(env, point, "x", end.screenPoint.x) &&
      setNumberProperty(env, point, "y", end.screenPoint.y) &&
      setNumberProperty(env, ended, "operation", static_cast<double>(end.operation)) &&
      napi_set_named_property(env, ended, "screenPoint", point) == napi_ok;
  if (!built) {
    nativeLogLine("failed to create JS drag-ended payload sessionId=", end.sessionId);
  } else {
    // A throw becomes an uncaught exception of the process (js_call.h);
    // nothing else depends on the call.
    callback.call(1, &ended, nullptr);
  }
  napi_close_handle_scope(env, scope);
  endedCallback_.reset();
}

const void* JavaScriptDragListener::owner() const {
  return writeCallback_ ? writeCallback_->env() : nullptr;
}

void JavaScriptDragListener::release() {
  if (writeCallback_) writeCallback_->release();
  if (endedCallback_) endedCallback_->release();
}

void endDragSessions(napi_env env) { endDragSessionsOwnedBy(env); }

}  // namespace kestrovan
