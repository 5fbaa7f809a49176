// XvfbServer: a private Xvfb for one test program, on a display number the
// server picks itself (-displayfd), so parallel test programs never collide.
// Stopped (and reaped) by the destructor.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "test/e2e/child_process.h"

namespace kestrovan::sidecar::e2e {

class XvfbServer {
 public:
  static constexpr int kWidth = 1280;
  static constexpr int kHeight = 800;

  // Starts Xvfb with one screen of `width` × `height` and waits (bounded)
  // until it accepts connections.
  explicit XvfbServer(int width = kWidth, int height = kHeight);

  struct Screen {
    int width;
    int height;
  };
  // Starts Xvfb with these screens joined into one root by Xinerama
  // (`+xinerama`): each screen is a Xinerama head at the root's origin, and
  // the root is as wide and as tall as the largest. RandR then names no
  // primary monitor. width() and height() are the root's.
  static std::unique_ptr<XvfbServer> withXinerama(const std::vector<Screen>& screens);
  ~XvfbServer();

  int width() const { return width_; }
  int height() const { return height_; }

  // The DISPLAY value, for example ":3".
  const std::string& display() const { return display_; }

 private:
  XvfbServer(const std::vector<Screen>& screens, bool xinerama);

  std::unique_ptr<ChildProcess> server_;
  std::string display_;
  int width_;
  int height_;
};

}  // namespace kestrovan::sidecar::e2e
