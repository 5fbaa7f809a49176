// Conversions between JavaScript values and native strings and integers. None
// throws, logs or leaves an exception pending: a failure shows only as an
// absent result or false.
#pragma once

#include <node_api.h>

#include <cstdint>
#include <optional>
#include <string>

namespace kestrovan {

// The text of a JavaScript string, cut at an embedded NUL, with ill-formed
// UTF-8 replaced by U+FFFD; absent for any value that is not a string. An empty
// string gives a present, empty text.
std::optional<std::string> stringFromNapi(napi_env env, napi_value value);

// The property's text if the object has the property and it holds a string.
std::optional<std::string> stringProperty(napi_env env, napi_value object, const std::string& key);

// As stringProperty, but the whole text: an embedded NUL is kept, not cut at,
// for a reader that must refuse such a text rather than shorten it.
std::optional<std::string> wholeStringProperty(napi_env env, napi_value object,
                                               const std::string& key);

// The property's value as napi_get_value_int64 converts it, if the object has
// the property and it holds a number.
std::optional<int64_t> intProperty(napi_env env, napi_value object, const std::string& key);

// The property's value as a double, if the object has the property and it
// holds a number.
std::optional<double> numberProperty(napi_env env, napi_value object, const std::string& key);

// What an object holds under a key for an optional function: absent when it
// lacks the property or it holds undefined (or it cannot be read), a function,
// or anything else.
struct FunctionPropertyReading {
  enum class State { kAbsent, kFunction, kNotFunction };
  State state = State::kAbsent;
  napi_value function = nullptr;  // set for kFunction only
};
FunctionPropertyReading functionProperty(napi_env env, napi_value object, const std::string& key);

// Sets a string property (cut at an embedded NUL); true when it was set.
bool setStringProperty(napi_env env, napi_value object, const std::string& key,
                       const std::string& value);

// Sets a number property; true when it was set.
bool setNumberProperty(napi_env env, napi_value object, const std::string& key, double value);

// Clears an exception that JavaScript run by a value read (a getter, a Proxy
// trap) left pending. Never used after calling a callback: those exceptions
// belong to the callback's caller (see js_call.h).
void discardPendingException(napi_env env);

}  // namespace kestrovan
