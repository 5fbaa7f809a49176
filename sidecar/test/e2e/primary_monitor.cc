#include "test/e2e/primary_monitor.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace kestrovan::sidecar::e2e {

bool setPrimaryMonitor(const std::string& display, int x, int y, int width, int height) {
  Display* connection = XOpenDisplay(display.c_str());
  if (connection == nullptr) return false;
  const Window root = DefaultRootWindow(connection);
  const Atom name = XInternAtom(connection, "KESTROVAN-PRIMARY", False);
  // The server refuses a second monitor of the same name: remove the last one.
  int count = 0;
  XRRMonitorInfo* existing = XRRGetMonitors(connection, root, False, &count);
  for (int i = 0; i < count; ++i) {
    if (existing[i].name == name) XRRDeleteMonitor(connection, root, name);
  }
  if (existing != nullptr) XRRFreeMonitors(existing);
  XRRMonitorInfo* monitor = XRRAllocateMonitor(connection, 0);
  monitor->name = name;
  monitor->primary = True;
  monitor->automatic = False;
  monitor->x = x;
  monitor->y = y;
  monitor->width = width;
  monitor->height = height;
  monitor->mwidth = width / 4;  // about 100 dpi
  monitor->mheight = height / 4;
  XRRSetMonitor(connection, root, monitor);
  XSync(connection, False);
  XFree(monitor);
  XCloseDisplay(connection);
  return true;
}

}  // namespace kestrovan::sidecar::e2e
