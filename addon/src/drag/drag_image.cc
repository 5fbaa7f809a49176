#include "drag/drag_image.h"

#include "bridge/native_log.h"

namespace kestrovan {

port::ImagePtr dragImage(const std::optional<std::string>& iconPath,
                         const std::optional<std::string>& fileType, int64_t itemCount) {
  // Drawing is not built yet: only the final line is written.
  nativeLogLine("using drag image iconPath=", iconPath, " itemCount=", itemCount,
                " imageValid=YES");
  return nullptr;
}

}  // namespace kestrovan
