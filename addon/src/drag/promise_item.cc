#include "drag/promise_item.h"

#include "bridge/native_log.h"
#include "bridge/value_helpers.h"
#include "drag/file_name.h"
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
      return *identifier;
    }
  }
  std::string fileType = port::dataTypeIdentifier();
  nativeLogLine("resolved file type fallback promiseId=", promiseId, " kind=", kind,
                " suggestedName=", suggestedName, " fileType=", fileType);
  return fileType;
}

PromiseItemReading readPromiseItem(napi_env env, napi_value element) {
  PromiseItemReading reading;
  reading.promiseId = stringProperty(env, element, "promiseId").value_or("");
  reading.kind = stringProperty(env, element, "kind").value_or("");
  // Read whole: a NUL inside the name makes it invalid, it does not shorten it.
  reading.suggestedName = wholeStringProperty(env, element, "suggestedName").value_or("");
  std::optional<std::string> filePath = stringProperty(env, element, "filePath");
  if (filePath && filePath->empty()) filePath.reset();

  // The name comes from the page and becomes a file name at the drop target:
  // it must be exactly one (see file_name.h).
  bool valid = !reading.promiseId.empty() && isOneFileName(reading.suggestedName) &&
               (reading.kind == "file" || reading.kind == "directory");
  if (!valid) return reading;

  auto item = std::make_shared<PromiseItem>();
  item->promiseId = reading.promiseId;
  item->kind = reading.kind;
  item->suggestedName = reading.suggestedName;
  item->fileType = fileTypeForPromiseItem(reading.kind, reading.suggestedName, reading.promiseId);
  item->filePath = std::move(filePath);
  reading.item = std::move(item);
  return reading;
}

}  // namespace kestrovan
