// PromiseItem: one promised file of a drag, read from an element of the
// request's `items` array (promise_item_reading.h), with its file type
// resolved once at creation.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace kestrovan {

// Immutable once created; shared by the item list of a drag and by the
// file-promise providers that carry it through the drag.
struct PromiseItem {
  std::string promiseId;      // never empty
  std::string kind;           // "file" or "directory"
  std::string suggestedName;  // one file name (file_name.h): the name the drop target is given
  std::string fileType;       // uniform type identifier
  std::optional<std::string> filePath;  // a local copy; absent when not given or empty
};

using PromiseItemPtr = std::shared_ptr<const PromiseItem>;

// The file type of an item: the folder type for "directory", the type of the
// name's extension, or the data type; writes one line saying which.
std::string fileTypeForPromiseItem(const std::string& kind, const std::string& suggestedName,
                                   const std::string& promiseId);

}  // namespace kestrovan
