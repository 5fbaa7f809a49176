// Reading a PromiseItem (promise_item.h) from an element of the request's
// `items` array.
#pragma once

#include <node_api.h>

#include <string>

#include "bridge/value_helpers.h"
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

// The names readPromiseItem reads, made once for all the items of a request.
struct PromiseItemKeys {
  explicit PromiseItemKeys(napi_env env)
      : promiseId(env, "promiseId"),
        kind(env, "kind"),
        suggestedName(env, "suggestedName"),
        filePath(env, "filePath") {}
  PropertyName promiseId;
  PropertyName kind;
  PropertyName suggestedName;
  PropertyName filePath;
};

// Reads promiseId, kind, suggestedName and filePath from the element, in that
// order. The item is valid when promiseId is not empty, kind is "file" or
// "directory", and suggestedName is one file name (isOneFileName). A valid
// item gets its file type (and its file type line in the log).
PromiseItemReading readPromiseItem(napi_env env, napi_value element, const PromiseItemKeys& keys);

}  // namespace kestrovan
