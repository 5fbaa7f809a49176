// Where each dragging item of a drag sits: all show the 64 x 64 point drag
// image, the first centred on the drag origin, each further one 4 points right
// and 4 points down, up to 18 points.
#pragma once

#include <cstddef>

namespace kestrovan {

inline constexpr double kDragImageSide = 64;

// min(4 x index, 18).
double draggingFrameOffset(size_t index);

struct DraggingFrame {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
};

// The dragging frame of the item at `index` (from 0) around the origin
// (originX, originY), in the source view's coordinates (y growing up).
DraggingFrame draggingFrameForItem(double originX, double originY, size_t index);

}  // namespace kestrovan
