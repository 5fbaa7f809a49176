// The three screen zones the dropzone monitor tests the pointer against,
// derived once at start-up from the command line's settings.
#pragma once

#include "core/arguments.h"
#include "core/rect.h"

namespace kestrovan::sidecar {

struct SidecarZones {
  Rect triggerZone;       // where a file drag enters: a square below the tray frame
  Rect retentionZone;     // where an entered file drag stays inside
  Rect clickAllowedZone;  // where a button press is no outside click

  friend bool operator==(const SidecarZones&, const SidecarZones&) = default;
};

// Clamps the zone size to at least 1 (NaN gives 1) and the padding to at
// least 0 (NaN gives 0), then builds the zones. Without a dropzone frame the
// retention zone is the trigger zone and the padding is not used.
//
// The frames themselves are not kept: the dropzone frame only widens the
// retention zone (grown by the padding) and the click-allowed zone (as it
// is), and the tray frame places the trigger zone and widens the
// click-allowed zone. Nothing later can tell a point in the dropzone frame
// from any other point of those zones.
SidecarZones computeZones(const SidecarSettings& settings);

}  // namespace kestrovan::sidecar
