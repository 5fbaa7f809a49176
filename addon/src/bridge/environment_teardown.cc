#include "bridge/environment_teardown.h"

#include <algorithm>
#include <vector>

namespace kestrovan {

namespace {

// The environments watched now. Allocated once and never destroyed.
std::vector<napi_env>& watchedEnvironments() {
  static auto* environments = new std::vector<napi_env>();
  return *environments;
}

void environmentEnded(void* data) {
  auto env = static_cast<napi_env>(data);
  std::erase(watchedEnvironments(), env);
  endWindowExitArming(env);
  endNavigationMonitor(env);
  endScrollForwarding(env);
  endDragSessions(env);
}

}  // namespace

void watchEnvironment(napi_env env) {
  std::vector<napi_env>& watched = watchedEnvironments();
  if (std::find(watched.begin(), watched.end(), env) != watched.end()) return;
  if (napi_add_env_cleanup_hook(env, environmentEnded, env) == napi_ok) watched.push_back(env);
}

}  // namespace kestrovan
