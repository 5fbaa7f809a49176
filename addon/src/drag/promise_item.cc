#include "drag/promise_item.h"

#include <utility>

#include "bridge/native_log.h"
#include "drag/path_extension.h"
#include "port/file_types.h"

namespace kestrovan {

std::string fileTypeForPromiseItem(const std::string& kind, const std::string& suggestedName,
                                   const std::string& promiseId) {
  if (kind == "directory") {
    std::string fileType = port::folderTypeIdentifier();
    nativeLogLine("resolved file type promiseId=", promiseId, " kind=", kind,
                  " suggestedName=", suggestedName, " fileType=", fileType);
    return fileType;
  }
  std::string extension = pathExtension(suggestedName);
  if (!extension.empty()) {
    auto identifier = port::typeIdentifierForExtension(extension);
    if (identifier && !identifier->empty()) {
      nativeLogLine("resolved file type promiseId=", promiseId, " kind=", kind,
                    " suggestedName=", suggestedName, " extension=", extension,
                    " fileType=", *identifier);
      return std::move(*identifier);
    }
  }
  std::string fileType = port::dataTypeIdentifier();
  nativeLogLine("resolved file type fallback promiseId=", promiseId, " kind=", kind,
                " suggestedName=", suggestedName, " fileType=", fileType);
  return fileType;
}

}  // namespace kestrovan
