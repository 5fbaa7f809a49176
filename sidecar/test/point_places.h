// What a fixture's named point lies in, as words, so that a check of the
// names can say where a point really is.
#pragma once

#include <string>

#include "core/rect.h"
#include "core/zones.h"

namespace kestrovan::sidecar::testing {

// The zones and frames that hold `point`, in a fixed order, comma separated:
// "trigger", "retention", "click-allowed", "tray", "dropzone frame"; "nothing"
// when none does.
inline std::string placesOf(ScreenPoint point, const SidecarZones& zones, const Rect& trayFrame,
                            const Rect& dropzoneFrame) {
  std::string places;
  const auto add = [&](const Rect& rect, const char* name) {
    if (!rectContains(rect, point)) return;
    if (!places.empty()) places += ", ";
    places += name;
  };
  add(zones.triggerZone, "trigger");
  add(zones.retentionZone, "retention");
  add(zones.clickAllowedZone, "click-allowed");
  add(trayFrame, "tray");
  add(dropzoneFrame, "dropzone frame");
  return places.empty() ? "nothing" : places;
}

}  // namespace kestrovan::sidecar::testing
