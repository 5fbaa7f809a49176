// The end of a JavaScript environment (the host quitting, a worker ending)
// while the process, and AppKit with it, lives on: a pending idle check, a
// write request, a navigation event or the window-exit monitor may still
// arrive afterwards.
//
// registerModule watches every environment that loads the addon on the main
// thread (napi_add_env_cleanup_hook). When one ends, everything it left with
// the addon is let go of, in this order, while it can still take the release
// of its references:
// - the window-exit arming it armed is disarmed (monitor removed, callback
//   released, never called);
// - the navigation callback it installed is released and the navigation
//   monitor removed; the scroll-forwarding monitor it installed is removed;
// - its drag sessions leave the registry with their write and drag-ended
//   callbacks released (a drag-ended callback is then never called):
//   each still-open write is answered NATIVE_DOWNLOAD_PROMISE_CALLBACK_FAILED
//   and its progress withdrawn, and later deliveries and idle checks find no
//   session and do nothing.
// A later call from another environment starts afresh.
#pragma once

#include <node_api.h>

namespace kestrovan {

// Registers the teardown for `env`, once however often the addon is loaded in it.
void watchEnvironment(napi_env env);

// What each feature lets go of when `env` ends (called by the teardown).
void endWindowExitArming(napi_env env);
void endNavigationMonitor(napi_env env);
void endScrollForwarding(napi_env env);
void endDragSessions(napi_env env);

}  // namespace kestrovan
