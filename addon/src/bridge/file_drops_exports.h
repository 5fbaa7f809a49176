// The exports of the drop zones' module, kestrovan_file_drops.node: a native
// module of its own beside kestrovan_file_promise_drag.node, so that module's
// eight functions stay as they are. Its JavaScript side is
// js/accept_file_drops.js, which checks every option before it calls these;
// they still read what they are given defensively and never throw of their
// own. Each runs on the main thread only (off it: the failure answer, touching
// nothing), inside an ExportScope.
//
// openFileDropZone(request, onEvent): request { windowNumber, x, y, width,
//   height, destination, timeoutMs } (the rectangle in content points, top
//   left; windowNumber 0: the key window, else the main window). Answers the
//   zone's id (a number from 1), or a string saying why no zone was opened.
//   onEvent(event) is called with, in order for each zone:
//     { type: 'enter' }, { type: 'exit' },
//     { type: 'drop', drop, x, y, folder (string or null),
//       items: [{ name, kind: 'file' | 'promise', path (string or null) }] },
//     { type: 'settled', drop, index, path } or { ..., error },
//     { type: 'progress', drop, index, fraction },
//     { type: 'closed', windowWentAway } (last; the callback is then let go of).
//   From event handlers and main-queue blocks it runs in a callback scope
//   (js_call.h); from inside one of these exports (close) as a plain call.
// setFileDropZoneRect(id, { x, y, width, height }): true when the zone is open.
// closeFileDropZone(id): true when it was open; its pending items are settled
//   and 'closed' told before it returns.
#pragma once

#include <node_api.h>

namespace kestrovan {

napi_value openFileDropZone(napi_env env, napi_callback_info info);
napi_value setFileDropZoneRect(napi_env env, napi_callback_info info);
napi_value closeFileDropZone(napi_env env, napi_callback_info info);

// Defines the three functions on `exports` and returns it; watches the
// environment so that its zones close when it ends.
napi_value registerFileDropsModule(napi_env env, napi_value exports);

}  // namespace kestrovan
