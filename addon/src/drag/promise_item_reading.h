// Reading a PromiseItem (promise_item.h) from an element of the request's
// `items` array.
#pragma once

#include <node_api.h>

#include <string>

#include "drag/promise_item.h"

namespace kestrovan {

// The result of reading one element: the item, or none with the texts read
// (each empty when absent) for the rejection line.
struct PromiseItemReading {
  PromiseItemPtr item;
  std::string promiseId;
  std::string kind;
  std::string suggestedName;
};

// Reads promiseId, kind, suggestedName and filePath from the element, in that
// order. The item is valid when promiseId is not empty, kind is "file" or
// "directory", and suggestedName is one file name (isOneFileName). A valid
// item gets its file type (and its file type line in the log).
PromiseItemReading readPromiseItem(napi_env env, napi_value element);

}  // namespace kestrovan
