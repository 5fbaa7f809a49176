// The export table.

#include <node_api.h>

#include "bridge/exports.h"
#include "bridge/js_call.h"

namespace kestrovan {

namespace {

template <napi_callback Body>
napi_value exported(napi_env env, napi_callback_info info) {
  ExportScope scope;
  return Body(env, info);
}

napi_property_descriptor method(const char* name, napi_callback callback) {
  return napi_property_descriptor{name,    nullptr, callback,     nullptr,
                                  nullptr, nullptr, napi_default, nullptr};
}

}  // namespace

napi_value registerModule(napi_env env, napi_value exports) {
  // One call each for the first five, in table order; the last three together.
  const napi_property_descriptor single[] = {
      method("performAlignmentFeedback", exported<performAlignmentFeedback>),
      method("installDragRegionScrollForwarding", exported<installDragRegionScrollForwarding>),
      method("armPromiseDragOnWindowExit", exported<armPromiseDragOnWindowExit>),
      method("disarmPromiseDrag", exported<disarmPromiseDrag>),
      method("updatePromiseWriteProgress", exported<updatePromiseWriteProgress>),
  };
  for (const auto& descriptor : single) {
    napi_define_properties(env, exports, 1, &descriptor);
  }
  const napi_property_descriptor together[] = {
      method("startPromiseDrag", exported<startPromiseDrag>),
      method("completePromiseWrite", exported<completePromiseWrite>),
      method("installNavigationEventMonitor", exported<installNavigationEventMonitor>),
  };
  napi_define_properties(env, exports, 3, together);
  return exports;
}

}  // namespace kestrovan
