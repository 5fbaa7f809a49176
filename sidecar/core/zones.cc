#include "core/zones.h"

#include <cmath>

namespace kestrovan::sidecar {

SidecarZones computeZones(const SidecarSettings& settings) {
  // fmax is IEEE maxNum: a NaN argument yields the other one.
  const double size = std::fmax(settings.zoneSize, 1.0);
  const double padding = settings.padding >= 0 ? settings.padding : 0.0;
  const Rect& tray = settings.trayFrame;

  SidecarZones zones;
  zones.triggerZone = Rect{tray.x + tray.width * 0.5 - size * 0.5, tray.y - size, size, size};
  if (settings.dropzoneFrame) {
    const Rect& dropzone = *settings.dropzoneFrame;
    const Rect padded{dropzone.x - padding, dropzone.y - padding, dropzone.width + 2 * padding,
                      dropzone.height + 2 * padding};
    zones.retentionZone = rectUnion(zones.triggerZone, padded);
    zones.clickAllowedZone = rectUnion(tray, dropzone);
  } else {
    zones.retentionZone = zones.triggerZone;
    zones.clickAllowedZone = rectUnion(tray, zones.triggerZone);
  }
  return zones;
}

}  // namespace kestrovan::sidecar
