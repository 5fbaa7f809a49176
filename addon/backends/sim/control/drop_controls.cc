// Control functions for the drop targets: dropping a running drag on a folder,
// asking for a write through a provider the addon did not make, and the
// outcomes every drop target saw.

#include <string>

#include "control/controls.h"
#include "control/napi_util.h"
#include "drop_targets_sim.h"

namespace kestrovan::sim::control {

namespace {

napi_value nullValue(napi_env env) {
  napi_value v;
  napi_get_null(env, &v);
  return v;
}

napi_value describe(napi_env env, const DropOutcome& o) {
  napi_value out = object(env);
  set(env, out, "id", number(env, static_cast<double>(o.id)));
  set(env, out, "drop", number(env, static_cast<double>(o.dropId)));
  set(env, out, "target", string(env, o.target));
  set(env, out, "source", string(env, o.source));
  set(env, out, "destination", string(env, o.destination));
  set(env, out, "fileName", string(env, o.fileName));
  set(env, out, "promiseId", o.promiseId.empty() ? nullValue(env) : string(env, o.promiseId));
  set(env, out, "answers", number(env, o.answers));
  if (o.answers == 0) {
    set(env, out, "outcome", nullValue(env));
  } else {
    napi_value outcome = object(env);
    set(env, outcome, "success", boolean(env, o.success));
    if (o.error) {
      set(env, outcome, "domain", string(env, o.error->domain));
      set(env, outcome, "code", number(env, static_cast<double>(o.error->code)));
      set(env, outcome, "description", string(env, o.error->localizedDescription));
    }
    set(env, out, "outcome", outcome);
  }
  set(env, out, "existedWhenAnswered", boolean(env, o.existedWhenAnswered));
  set(env, out, "delegateGone", boolean(env, o.delegateGone));
  set(env, out, "answeredInLiveTurn",
      o.answeredInLiveTurn == 0 ? nullValue(env)
                                : number(env, static_cast<double>(o.answeredInLiveTurn)));
  return out;
}

// A drag id, or null/undefined for the newest running drag (0 here).
uint64_t dragIdOrLatest(napi_env env, napi_value value) {
  if (isNullish(env, value)) return 0;
  double id = toNumber(env, value, "drag id");
  if (!(id >= 1)) throw ControlError{"drag id must be a positive number, or null for the newest"};
  return static_cast<uint64_t>(id);
}

napi_value resultValue(napi_env env, const DropResult& result) {
  if (!result.error.empty()) throw ControlError{result.error};
  napi_value out = object(env);
  set(env, out, "drop", number(env, static_cast<double>(result.dropId)));
  napi_value list = array(env);
  for (const auto& outcome : result.outcomes) push(env, list, describe(env, *outcome));
  set(env, out, "outcomes", list);
  return out;
}

#define CONTROL(name) napi_value name(napi_env env, napi_callback_info info)

CONTROL(dropOnFolderControl) {
  return guarded(env, [&] {
    auto argv = arguments(env, info, 4);
    uint64_t dragId = dragIdOrLatest(env, argv[0]);
    std::string directory = toString(env, argv[1], "directory");
    port::Point point = toPoint(env, argv[2], "screen point");
    FolderDropOptions options;
    if (auto delay = get(env, argv[3], "requestDelay")) {
      options.requestDelaySeconds = toNumber(env, *delay, "requestDelay");
      if (!(options.requestDelaySeconds >= 0)) {
        throw ControlError{"requestDelay must be a number of at least 0"};
      }
    }
    if (auto end = get(env, argv[3], "endDrag")) options.endDrag = toBool(env, *end, "endDrag");
    return resultValue(env, dropOnFolder(dragId, directory, point, options));
  });
}

CONTROL(requestWriteThroughForeignProviderControl) {
  return guarded(env, [&] {
    auto argv = arguments(env, info, 3);
    uint64_t dragId = dragIdOrLatest(env, argv[0]);
    std::string directory = toString(env, argv[1], "directory");
    bool withoutItem = false;
    if (auto provider = get(env, argv[2], "provider")) {
      std::string kind = toString(env, *provider, "provider");
      if (kind == "withoutItem") {
        withoutItem = true;
      } else if (kind != "foreign") {
        throw ControlError{"provider must be \"foreign\" or \"withoutItem\""};
      }
    }
    return resultValue(env, requestWriteThroughForeignProvider(dragId, directory, withoutItem));
  });
}

CONTROL(dropOutcomesControl) {
  return guarded(env, [&] {
    napi_value out = array(env);
    // A copy: describing calls nothing, but the list is not ours.
    auto list = dropOutcomes();
    for (const auto& outcome : list) push(env, out, describe(env, *outcome));
    return out;
  });
}

CONTROL(clearDropOutcomesControl) {
  return guarded(env, [&] {
    (void)info;
    clearDropOutcomes();
    return undefinedValue(env);
  });
}

#undef CONTROL

}  // namespace

void registerDropControls(napi_env env, napi_value exports) {
  defineFunction(env, exports, "dropOnFolder", dropOnFolderControl);
  defineFunction(env, exports, "requestWriteThroughForeignProvider",
                 requestWriteThroughForeignProviderControl);
  defineFunction(env, exports, "dropOutcomes", dropOutcomesControl);
  defineFunction(env, exports, "clearDropOutcomes", clearDropOutcomesControl);
}

}  // namespace kestrovan::sim::control
