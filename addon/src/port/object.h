// Platform objects the core holds: windows, views and events are platform
// objects behind these handles. A handle holds its object strongly for as long
// as the handle lives; two handles may wrap the same object, so compare objects
// with sameObject(), never by handle address.
#pragma once

#include <memory>

namespace kestrovan::port {

class PlatformObject {
 public:
  virtual ~PlatformObject() = default;
  // The address of the platform object itself (an NSView, an NSWindow, ...):
  // equal for two handles exactly when they wrap the same object.
  virtual const void* identity() const = 0;
};

inline bool sameObject(const PlatformObject* a, const PlatformObject* b) {
  if (a == nullptr || b == nullptr) return a == b;
  return a->identity() == b->identity();
}

template <typename A, typename B>
bool sameObject(const std::shared_ptr<A>& a, const std::shared_ptr<B>& b) {
  return sameObject(static_cast<const PlatformObject*>(a.get()),
                    static_cast<const PlatformObject*>(b.get()));
}

}  // namespace kestrovan::port
