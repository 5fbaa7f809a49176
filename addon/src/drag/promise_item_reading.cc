#include "drag/promise_item_reading.h"

#include <memory>
#include <optional>
#include <utility>

#include "bridge/value_helpers.h"
#include "drag/file_name.h"

namespace kestrovan {

PromiseItemReading readPromiseItem(napi_env env, napi_value element, const PromiseItemKeys& keys) {
  PromiseItemReading reading;
  // An element that is not an object has none of the properties: all absent.
  const std::optional<ObjectValue> object = asObject(env, element);
  if (!object) return reading;
  reading.promiseId = stringProperty(env, *object, keys.promiseId).value_or("");
  reading.kind = stringProperty(env, *object, keys.kind).value_or("");
  // Read whole: a NUL inside the name makes it invalid, it does not shorten it.
  reading.suggestedName = wholeStringProperty(env, *object, keys.suggestedName).value_or("");
  std::optional<std::string> filePath = stringProperty(env, *object, keys.filePath);
  if (filePath && filePath->empty()) filePath.reset();

  // The name comes from the page and becomes a file name at the drop target:
  // it must be exactly one (see file_name.h).
  bool valid = !reading.promiseId.empty() && isOneFileName(reading.suggestedName) &&
               (reading.kind == "file" || reading.kind == "directory");
  if (!valid) return reading;

  // Valid: the texts move into the item (the reading keeps them only for a
  // rejection).
  auto item = std::make_shared<PromiseItem>();
  item->fileType = fileTypeForPromiseItem(reading.kind, reading.suggestedName, reading.promiseId);
  item->promiseId = std::move(reading.promiseId);
  item->kind = std::move(reading.kind);
  item->suggestedName = std::move(reading.suggestedName);
  item->filePath = std::move(filePath);
  reading.item = std::move(item);
  return reading;
}

}  // namespace kestrovan
