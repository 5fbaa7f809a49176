// A view in a window's view tree (NSView), with the operations the core uses
// for hit-testing, coordinate conversion and event forwarding.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "port/event.h"
#include "port/geometry.h"
#include "port/object.h"

namespace kestrovan::port {

class View;
using ViewPtr = std::shared_ptr<View>;

class View : public PlatformObject {
 public:
  virtual ViewPtr superview() const = 0;
  // Ordered back to front, as NSView's subviews.
  virtual std::vector<ViewPtr> subviews() const = 0;
  virtual bool isHidden() const = 0;
  virtual Rect bounds() const = 0;
  // convertPoint:fromView: with no view: window coordinates to this view's.
  virtual Point convertPointFromWindow(Point windowPoint) const = 0;
  // hitTest: with a point in the superview's coordinates; none when nothing is hit.
  virtual ViewPtr hitTest(Point pointInSuperview) const = 0;
  // NSStringFromClass of the view's class.
  virtual std::string className() const = 0;
  // Sends scrollWheel: with the event to this view.
  virtual void scrollWheel(const EventPtr& event) = 0;
};

}  // namespace kestrovan::port
