#include "bridge/javascript_drop_zone_listener.h"

#include <utility>

#include "bridge/native_log.h"
#include "bridge/value_helpers.h"

namespace kestrovan {

namespace {

bool setNull(napi_env env, napi_value object, const char* key) {
  napi_value null = nullptr;
  return napi_get_null(env, &null) == napi_ok &&
         napi_set_named_property(env, object, key, null) == napi_ok;
}

bool setText(napi_env env, napi_value object, const char* key, const std::string& text) {
  return setStringProperty(env, object, key, text);
}

}  // namespace

JavaScriptDropZoneListener::JavaScriptDropZoneListener(StoredCallbackPtr callback,
                                                       std::function<void()> onClosed)
    : callback_(std::move(callback)), onClosed_(std::move(onClosed)) {}

void JavaScriptDropZoneListener::release() {
  if (callback_) callback_->release();
}

void JavaScriptDropZoneListener::tell(const char* type,
                                      const std::function<bool(napi_env, napi_value)>& build) {
  // A released callback (its environment has ended) is never called, and
  // nothing is made through its environment.
  napi_env env = this->env();
  if (env == nullptr) return;
  napi_handle_scope scope = nullptr;
  if (napi_open_handle_scope(env, &scope) != napi_ok) return;
  napi_value event = nullptr;
  const bool built = napi_create_object(env, &event) == napi_ok &&
                     setText(env, event, "type", type) && build(env, event);
  if (!built) {
    nativeLogLine("failed to create JS drop-zone event type=", type);
  } else {
    // Outside every export an exception the callback throws becomes an
    // uncaught exception of the process (js_call.h). The callback may close
    // the zone, which ends in zoneClosed: `callback_` is kept until then.
    ++calling_;
    callback_->call(1, &event, nullptr);
    --calling_;
  }
  napi_close_handle_scope(env, scope);
  // Closed during the call: let go of now that no call of it runs.
  if (closed_ && calling_ == 0) callback_.reset();
}

void JavaScriptDropZoneListener::dragEntered() {
  tell("enter", [](napi_env, napi_value) { return true; });
}

void JavaScriptDropZoneListener::dragExited() {
  tell("exit", [](napi_env, napi_value) { return true; });
}

void JavaScriptDropZoneListener::dropped(const drops::DropReport& drop) {
  tell("drop", [&drop](napi_env env, napi_value event) {
    napi_value items = nullptr;
    if (!setNumberProperty(env, event, "drop", static_cast<double>(drop.dropId)) ||
        !setNumberProperty(env, event, "x", drop.point.x) ||
        !setNumberProperty(env, event, "y", drop.point.y) ||
        !(drop.folder.empty() ? setNull(env, event, "folder")
                              : setText(env, event, "folder", drop.folder)) ||
        napi_create_array_with_length(env, drop.items.size(), &items) != napi_ok) {
      return false;
    }
    for (size_t index = 0; index < drop.items.size(); ++index) {
      const drops::DropItemReport& item = drop.items[index];
      napi_value entry = nullptr;
      if (napi_create_object(env, &entry) != napi_ok || !setText(env, entry, "name", item.name) ||
          !setText(env, entry, "kind", item.promise ? "promise" : "file") ||
          !(item.promise ? setNull(env, entry, "path") : setText(env, entry, "path", item.path)) ||
          napi_set_element(env, items, static_cast<uint32_t>(index), entry) != napi_ok) {
        return false;
      }
    }
    return napi_set_named_property(env, event, "items", items) == napi_ok;
  });
}

void JavaScriptDropZoneListener::itemSettled(uint64_t dropId, size_t itemIndex,
                                             const drops::ItemOutcome& outcome) {
  tell("settled", [&](napi_env env, napi_value event) {
    return setNumberProperty(env, event, "drop", static_cast<double>(dropId)) &&
           setNumberProperty(env, event, "index", static_cast<double>(itemIndex)) &&
           (outcome.received() ? setText(env, event, "path", outcome.path)
                               : setText(env, event, "error", outcome.error));
  });
}

void JavaScriptDropZoneListener::itemProgress(uint64_t dropId, size_t itemIndex, double fraction) {
  tell("progress", [&](napi_env env, napi_value event) {
    return setNumberProperty(env, event, "drop", static_cast<double>(dropId)) &&
           setNumberProperty(env, event, "index", static_cast<double>(itemIndex)) &&
           setNumberProperty(env, event, "fraction", fraction);
  });
}

void JavaScriptDropZoneListener::zoneClosed(bool windowWentAway) {
  tell("closed", [windowWentAway](napi_env env, napi_value event) {
    napi_value flag = nullptr;
    return napi_get_boolean(env, windowWentAway, &flag) == napi_ok &&
           napi_set_named_property(env, event, "windowWentAway", flag) == napi_ok;
  });
  closed_ = true;
  if (calling_ == 0) callback_.reset();
  if (auto onClosed = std::move(onClosed_)) onClosed();
}

}  // namespace kestrovan
