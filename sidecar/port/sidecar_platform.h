// SidecarPlatform: everything the sidecar's core needs from the machine it
// runs on, as one object.
//
// The core includes no platform header; it reaches AppKit, X11 or the test
// fake only through this interface. A backend implements all of it; the
// `main` of each backend builds one and passes it to `runSidecar`. All calls
// are made on the main thread.
#pragma once

#include "port/application_port.h"
#include "port/drag_pasteboard_port.h"
#include "port/event_monitor_port.h"
#include "port/main_queue_port.h"
#include "port/pointer_port.h"
#include "port/standard_streams_port.h"

namespace kestrovan::sidecar {

class SidecarPlatform : public ApplicationPort,
                        public PointerPort,
                        public DragPasteboardPort,
                        public EventMonitorPort,
                        public MainQueuePort,
                        public StandardStreamsPort {
 public:
  virtual ~SidecarPlatform() = default;
};

}  // namespace kestrovan::sidecar
