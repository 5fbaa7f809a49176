// Where each dragging item of a drag sits: all show the 64 x 64 point drag
// image, the first centred on the drag origin, each further one 4 points right
// and 4 points down, up to 18 points.
#pragma once

#include <cstddef>

#include "port/geometry.h"

namespace kestrovan {

inline constexpr double kDragImageSide = 64;

// min(4 x index, 18): 4 x index up to index 4, 18 from index 5 on.
double draggingFrameOffset(size_t index);

// The dragging frame of the item at `index` (from 0) around `origin`, in the
// source view's coordinates (y growing up).
port::Rect draggingFrameForItem(port::Point origin, size_t index);

}  // namespace kestrovan
