// The control module's function groups. Each registers its functions on the
// module's exports; control_module.cc calls every one.
#pragma once

#include <node_api.h>

namespace kestrovan::sim::control {

void registerDesktopControls(napi_env env, napi_value exports);
void registerImageControls(napi_env env, napi_value exports);
void registerDragControls(napi_env env, napi_value exports);
void registerDropControls(napi_env env, napi_value exports);
void registerFileDropControls(napi_env env, napi_value exports);
void registerInputControls(napi_env env, napi_value exports);
void registerLiveMainQueueControls(napi_env env, napi_value exports);
void registerProgressControls(napi_env env, napi_value exports);

}  // namespace kestrovan::sim::control
