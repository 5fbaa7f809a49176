#include "drag/dragging_frame.h"

#include <algorithm>

namespace kestrovan {

double draggingFrameOffset(size_t index) {
  // Compared before multiplying, so a huge index cannot overflow.
  return index >= 5 ? 18.0 : std::min(4.0 * static_cast<double>(index), 18.0);
}

DraggingFrame draggingFrameForItem(double originX, double originY, size_t index) {
  double offset = draggingFrameOffset(index);
  double half = kDragImageSide / 2;
  return {originX - half + offset, originY - half - offset, kDragImageSide, kDragImageSide};
}

}  // namespace kestrovan
