// Conversions between JavaScript values and native strings and integers. None
// throws, logs or leaves an exception pending: a failure shows only as an
// absent result or false.
#pragma once

#include <node_api.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrovan {

// The text of a JavaScript string, cut at an embedded NUL, with ill-formed
// UTF-8 replaced by U+FFFD; absent for any value that is not a string. An empty
// string gives a present, empty text.
std::optional<std::string> stringFromNapi(napi_env env, napi_value value);

// Where readString keeps a text: in place when it is short (a completion token
// is 36 bytes), on the heap otherwise. Lives as long as the text read into it.
class StringBuffer {
 public:
  StringBuffer() = default;
  StringBuffer(const StringBuffer&) = delete;
  StringBuffer& operator=(const StringBuffer&) = delete;

 private:
  friend std::optional<std::string_view> readString(napi_env, napi_value, StringBuffer&);
  static constexpr size_t kInPlace = 64;
  char inPlace_[kInPlace];
  std::string heap_;
};

// The same text as stringFromNapi, kept in `buffer`: for the exports that read
// a string on every call and only look it up, so a short, well-formed text
// costs no allocation.
std::optional<std::string_view> readString(napi_env env, napi_value value, StringBuffer& buffer);

// The property's text if the object has the property and it holds a string.
std::optional<std::string> stringProperty(napi_env env, napi_value object, const std::string& key);

// As stringProperty, but the whole text: an embedded NUL is kept, not cut at,
// for a reader that must refuse such a text rather than shorten it.
std::optional<std::string> wholeStringProperty(napi_env env, napi_value object,
                                               const std::string& key);

// A property name made a JavaScript string once, for reading it from many
// objects: a read by a C string makes the name afresh each time. Valid in the
// handle scope it was made in; when it cannot be made, reads fall back to the
// C string.
struct PropertyName {
  PropertyName(napi_env env, const char* name);
  const char* text;
  napi_value value = nullptr;
};

// stringProperty and wholeStringProperty by a name made once.
std::optional<std::string> stringProperty(napi_env env, napi_value object, const PropertyName& key);
std::optional<std::string> wholeStringProperty(napi_env env, napi_value object,
                                               const PropertyName& key);

// A value known to be an object or a function (the receivers that have
// properties here), for a reader of several of its properties: its type is
// tested once, by asObject, rather than at every read.
struct ObjectValue {
  napi_value value;
};
std::optional<ObjectValue> asObject(napi_env env, napi_value value);

// stringProperty and wholeStringProperty of such an object.
std::optional<std::string> stringProperty(napi_env env, ObjectValue object,
                                          const PropertyName& key);
std::optional<std::string> wholeStringProperty(napi_env env, ObjectValue object,
                                               const PropertyName& key);

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
