// The shared drag image of a drag: a 64 x 64 point picture of the request's
// icon (clipped to a rounded square) or of the system icon for the first
// item's file type, with a badge in the top right corner counting the items.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "port/image.h"

namespace kestrovan {

// Draws the image and writes its diagnostic lines. An empty icon path counts
// as absent.
port::ImagePtr dragImage(const std::optional<std::string>& iconPath,
                         const std::optional<std::string>& fileType, int64_t itemCount);

}  // namespace kestrovan
