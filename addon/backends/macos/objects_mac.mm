#include "objects_mac.h"

#include <string>

#include "exceptions_mac.h"

namespace kestrovan::mac {

namespace {

class MacWindow final : public port::Window {
 public:
  explicit MacWindow(NSWindow* window) : window_(window) {}
  const void* identity() const override { return (__bridge const void*)window_; }
  int64_t windowNumber() const override { return window_.windowNumber; }
  port::ViewPtr contentView() const override { return wrapView(window_.contentView); }
  port::Point convertPointFromScreen(port::Point screenPoint) const override {
    return fromNSPoint([window_ convertPointFromScreen:toNSPoint(screenPoint)]);
  }
  NSWindow* object() const { return window_; }

 private:
  NSWindow* __strong window_;
};

class MacView final : public port::View {
 public:
  explicit MacView(NSView* view) : view_(view) {}
  const void* identity() const override { return (__bridge const void*)view_; }
  port::ViewPtr superview() const override { return wrapView(view_.superview); }
  std::vector<port::ViewPtr> subviews() const override {
    std::vector<port::ViewPtr> out;
    for (NSView* subview in view_.subviews) out.push_back(wrapView(subview));
    return out;
  }
  bool isHidden() const override { return view_.isHidden; }
  port::Rect bounds() const override { return fromNSRect(view_.bounds); }
  port::Point convertPointFromWindow(port::Point windowPoint) const override {
    return fromNSPoint([view_ convertPoint:toNSPoint(windowPoint) fromView:nil]);
  }
  port::ViewPtr hitTest(port::Point pointInSuperview) const override {
    return wrapView(catchingExceptions<NSView*>(
        nil, [&] { return [view_ hitTest:toNSPoint(pointInSuperview)]; }));
  }
  std::string className() const override {
    NSString* name = NSStringFromClass([view_ class]);
    return name.UTF8String ? std::string(name.UTF8String) : std::string();
  }
  void scrollWheel(const port::EventPtr& event) override {
    NSEvent* nsEvent = unwrapEvent(event.get());
    // The host's view handles it: whatever it raises stays here.
    if (nsEvent != nil) catchingExceptions([&] { [view_ scrollWheel:nsEvent]; });
  }
  NSView* object() const { return view_; }

 private:
  NSView* __strong view_;
};

class MacEvent final : public port::Event {
 public:
  explicit MacEvent(NSEvent* event) : event_(event) {}
  const void* identity() const override { return (__bridge const void*)event_; }
  uint64_t type() const override { return static_cast<uint64_t>(event_.type); }
  port::WindowPtr window() const override { return wrapWindow(event_.window); }
  port::Point locationInWindow() const override { return fromNSPoint(event_.locationInWindow); }
  uint64_t modifierFlags() const override { return static_cast<uint64_t>(event_.modifierFlags); }
  double deltaX() const override {
    // deltaX is only defined for scroll, gesture and mouse-move kinds of events.
    switch (event_.type) {
      case NSEventTypeSwipe:
      case NSEventTypeScrollWheel:
      case NSEventTypeMouseMoved:
      case NSEventTypeLeftMouseDragged:
      case NSEventTypeRightMouseDragged:
      case NSEventTypeOtherMouseDragged:
      case NSEventTypeMagnify:
      case NSEventTypeRotate:
        return event_.deltaX;
      default:
        return 0;
    }
  }
  int64_t buttonNumber() const override {
    switch (event_.type) {
      case NSEventTypeLeftMouseDown:
      case NSEventTypeLeftMouseUp:
      case NSEventTypeRightMouseDown:
      case NSEventTypeRightMouseUp:
      case NSEventTypeOtherMouseDown:
      case NSEventTypeOtherMouseUp:
      case NSEventTypeLeftMouseDragged:
      case NSEventTypeRightMouseDragged:
      case NSEventTypeOtherMouseDragged:
        return event_.buttonNumber;
      default:
        return 0;
    }
  }
  NSEvent* object() const { return event_; }

 private:
  NSEvent* __strong event_;
};

}  // namespace

port::WindowPtr wrapWindow(NSWindow* window) {
  return window ? std::make_shared<MacWindow>(window) : nullptr;
}
port::ViewPtr wrapView(NSView* view) { return view ? std::make_shared<MacView>(view) : nullptr; }
port::EventPtr wrapEvent(NSEvent* event) {
  return event ? std::make_shared<MacEvent>(event) : nullptr;
}

NSWindow* unwrapWindow(const port::Window* window) {
  auto* mac = dynamic_cast<const MacWindow*>(window);
  return mac ? mac->object() : nil;
}
NSView* unwrapView(const port::View* view) {
  auto* mac = dynamic_cast<const MacView*>(view);
  return mac ? mac->object() : nil;
}
NSEvent* unwrapEvent(const port::Event* event) {
  auto* mac = dynamic_cast<const MacEvent*>(event);
  return mac ? mac->object() : nil;
}

}  // namespace kestrovan::mac
