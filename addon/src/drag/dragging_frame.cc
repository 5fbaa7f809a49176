#include "drag/dragging_frame.h"

namespace kestrovan {

double draggingFrameOffset(size_t index) {
  // Compared before multiplying, so a huge index cannot overflow; below 5 the
  // product stays under 18.
  return index >= 5 ? 18.0 : 4.0 * static_cast<double>(index);
}

port::Rect draggingFrameForItem(port::Point origin, size_t index) {
  double offset = draggingFrameOffset(index);
  double half = kDragImageSide / 2;
  return {origin.x - half + offset, origin.y - half - offset, kDragImageSide, kDragImageSide};
}

}  // namespace kestrovan
