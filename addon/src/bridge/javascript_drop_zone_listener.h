// JavaScriptDropZoneListener: a drop zone's listener (drops/drop_zone.h) for
// the JavaScript that opened the zone with openFileDropZone. It owns the
// event callback's reference, builds each event object and calls it
// (js_call.h); the event shapes are file_drops_exports.h's.
//
// Ownership: the zone holds its listener, the listener its callback. The
// callback is let go of once: right after the 'closed' event, or by release()
// while its environment ends (then nothing is built or called through that
// environment again), or else by the destructor. `onClosed` runs after the
// 'closed' event (the registry forgets the zone there).
#pragma once

#include <node_api.h>

#include <functional>

#include "bridge/stored_callback.h"
#include "drops/drop_zone.h"

namespace kestrovan {

class JavaScriptDropZoneListener final : public drops::DropZoneListener {
 public:
  JavaScriptDropZoneListener(StoredCallbackPtr callback, std::function<void()> onClosed);

  void dragEntered() override;
  void dragExited() override;
  void dropped(const drops::DropReport& drop) override;
  void itemSettled(uint64_t dropId, size_t itemIndex, const drops::ItemOutcome& outcome) override;
  void itemProgress(uint64_t dropId, size_t itemIndex, double fraction) override;
  void zoneClosed(bool windowWentAway) override;

  // The callback's environment; none once let go of.
  napi_env env() const { return callback_ ? callback_->env() : nullptr; }
  void release();

 private:
  // Opens a handle scope, builds the event with `build` (true when built) and
  // calls the callback with it; nothing once the callback was let go of.
  void tell(const char* type, const std::function<bool(napi_env, napi_value)>& build);

  StoredCallbackPtr callback_;
  std::function<void()> onClosed_;
  int calling_ = 0;      // calls of the callback running now (nested ones too)
  bool closed_ = false;  // 'closed' was told: let go of the callback once no call runs
};

}  // namespace kestrovan
