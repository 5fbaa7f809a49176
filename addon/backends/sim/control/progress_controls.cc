// Control functions for published progress.

#include "control/controls.h"
#include "control/napi_util.h"
#include "progress_sim.h"

namespace kestrovan::sim::control {

namespace {

napi_value describe(napi_env env, const ProgressRecord& r) {
  napi_value o = object(env);
  set(env, o, "id", number(env, static_cast<double>(r.id)));
  set(env, o, "fileURL", string(env, r.fileUrl));
  set(env, o, "kind", string(env, r.kind));
  set(env, o, "fileOperationKind", string(env, r.fileOperationKind));
  set(env, o, "cancellable", boolean(env, r.cancellable));
  set(env, o, "pausable", boolean(env, r.pausable));
  set(env, o, "totalUnitCount", number(env, static_cast<double>(r.totalUnitCount)));
  set(env, o, "completedUnitCount", number(env, static_cast<double>(r.completedUnitCount)));
  set(env, o, "published", boolean(env, r.published));
  set(env, o, "withdrawn", boolean(env, r.unpublished));
  napi_value history = array(env);
  for (int64_t count : r.completedHistory)
    push(env, history, number(env, static_cast<double>(count)));
  set(env, o, "completedHistory", history);
  return o;
}

napi_value list(napi_env env, bool publishedOnly) {
  napi_value out = array(env);
  for (const auto& record : progressRecords()) {
    if (!publishedOnly || record.published) push(env, out, describe(env, record));
  }
  return out;
}

napi_value progresses(napi_env env, napi_callback_info) {
  return guarded(env, [&] { return list(env, false); });
}

napi_value publishedProgress(napi_env env, napi_callback_info) {
  return guarded(env, [&] { return list(env, true); });
}

napi_value clearProgressHistory(napi_env env, napi_callback_info) {
  return guarded(env, [&] {
    std::erase_if(progressRecords(), [](const ProgressRecord& r) { return !r.published; });
    return undefinedValue(env);
  });
}

}  // namespace

void registerProgressControls(napi_env env, napi_value exports) {
  defineFunction(env, exports, "progresses", progresses);
  defineFunction(env, exports, "publishedProgress", publishedProgress);
  defineFunction(env, exports, "clearProgressHistory", clearProgressHistory);
}

}  // namespace kestrovan::sim::control
