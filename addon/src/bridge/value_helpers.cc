#include "bridge/value_helpers.h"

#include "bridge/utf8.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace kestrovan {

void discardPendingException(napi_env env) {
  bool pending = false;
  if (napi_is_exception_pending(env, &pending) == napi_ok && pending) {
    napi_value ignored;
    napi_get_and_clear_last_exception(env, &ignored);
  }
}

namespace {

bool isAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The string's UTF-8 text (Node-API writes a lone surrogate as U+FFFD), cut at
// the first NUL when `cutAtNul` is set.
std::optional<std::string> textOfString(napi_env env, napi_value value, bool cutAtNul) {
  napi_valuetype type;
  if (napi_typeof(env, value, &type) != napi_ok || type != napi_string) return std::nullopt;
  // A short string (most are: ids, kinds, names) is read in one call into a
  // buffer on the stack. Node-API stops before a character that does not fit
  // whole, and no character is longer than four bytes, so a text that leaves
  // more than four bytes of the buffer unused is the whole string.
  {
    char shortText[256];
    size_t copied = 0;
    if (napi_get_value_string_utf8(env, value, shortText, sizeof shortText, &copied) != napi_ok) {
      return std::nullopt;
    }
    if (copied + 4 < sizeof shortText - 1) {
      const std::string_view text(shortText, cutAtNul ? strnlen(shortText, copied) : copied);
      if (isAscii(text)) return std::string(text);
      return sanitizeUtf8(text);
    }
  }
  size_t length = 0;
  if (napi_get_value_string_utf8(env, value, nullptr, 0, &length) != napi_ok) return std::nullopt;
  // Read straight into the result (zero-filled: the byte length plus the
  // terminator), which is the text as it is unless it needs repair.
  std::string text(length + 1, '\0');
  size_t copied = 0;
  if (napi_get_value_string_utf8(env, value, text.data(), length + 1, &copied) != napi_ok) {
    return std::nullopt;
  }
  text.resize(cutAtNul ? std::strlen(text.c_str()) : std::min(copied, length));
  if (isAscii(text)) return text;
  return sanitizeUtf8(text);
}

// A property read can run JavaScript (a getter, a Proxy trap). What that code
// throws must not stay pending: the helpers report failure only by their result.
template <typename Call>
napi_status withoutPendingException(napi_env env, Call call) {
  napi_status status = call();
  if (status != napi_ok) discardPendingException(env);
  return status;
}

// Node-API converts a primitive receiver to its wrapper object ("text" has a
// length), so the receiver's type is tested first: only objects and functions
// have properties here.
bool isObject(napi_env env, napi_value value) {
  napi_valuetype type;
  return napi_typeof(env, value, &type) == napi_ok &&
         (type == napi_object || type == napi_function);
}

// Steps shared by the property reads: the property's value if it exists.
std::optional<napi_value> propertyValue(napi_env env, napi_value object, const std::string& key) {
  if (!isObject(env, object)) return std::nullopt;
  bool has = false;
  if (withoutPendingException(
          env, [&] { return napi_has_named_property(env, object, key.c_str(), &has); }) !=
          napi_ok ||
      !has) {
    return std::nullopt;
  }
  napi_value value;
  if (withoutPendingException(env, [&] {
        return napi_get_named_property(env, object, key.c_str(), &value);
      }) != napi_ok) {
    return std::nullopt;
  }
  return value;
}

// propertyValue of a known object by a name made once (napi_has_property,
// napi_get_property).
std::optional<napi_value> propertyValue(napi_env env, ObjectValue known, const PropertyName& key) {
  napi_value object = known.value;
  if (key.value == nullptr) return propertyValue(env, object, std::string(key.text));
  bool has = false;
  if (withoutPendingException(
          env, [&] { return napi_has_property(env, object, key.value, &has); }) != napi_ok ||
      !has) {
    return std::nullopt;
  }
  napi_value value;
  if (withoutPendingException(
          env, [&] { return napi_get_property(env, object, key.value, &value); }) != napi_ok) {
    return std::nullopt;
  }
  return value;
}

// propertyValue by a name made once.
std::optional<napi_value> propertyValue(napi_env env, napi_value object, const PropertyName& key) {
  if (!isObject(env, object)) return std::nullopt;
  return propertyValue(env, ObjectValue{object}, key);
}

}  // namespace

std::optional<ObjectValue> asObject(napi_env env, napi_value value) {
  if (!isObject(env, value)) return std::nullopt;
  return ObjectValue{value};
}

std::optional<std::string> stringProperty(napi_env env, ObjectValue object,
                                          const PropertyName& key) {
  auto value = propertyValue(env, object, key);
  if (!value) return std::nullopt;
  return stringFromNapi(env, *value);
}

std::optional<std::string> wholeStringProperty(napi_env env, ObjectValue object,
                                               const PropertyName& key) {
  auto value = propertyValue(env, object, key);
  if (!value) return std::nullopt;
  return textOfString(env, *value, false);
}

PropertyName::PropertyName(napi_env env, const char* name) : text(name) {
  if (napi_create_string_utf8(env, name, NAPI_AUTO_LENGTH, &value) != napi_ok) value = nullptr;
}

std::optional<std::string> stringProperty(napi_env env, napi_value object,
                                          const PropertyName& key) {
  auto value = propertyValue(env, object, key);
  if (!value) return std::nullopt;
  return stringFromNapi(env, *value);
}

std::optional<std::string> wholeStringProperty(napi_env env, napi_value object,
                                               const PropertyName& key) {
  auto value = propertyValue(env, object, key);
  if (!value) return std::nullopt;
  return textOfString(env, *value, false);
}

std::optional<std::string> stringFromNapi(napi_env env, napi_value value) {
  return textOfString(env, value, true);
}

std::optional<std::string_view> readString(napi_env env, napi_value value, StringBuffer& buffer) {
  napi_valuetype type;
  if (napi_typeof(env, value, &type) != napi_ok || type != napi_string) return std::nullopt;
  size_t length = 0;
  if (napi_get_value_string_utf8(env, value, nullptr, 0, &length) != napi_ok) return std::nullopt;
  char* bytes = buffer.inPlace_;
  if (length >= StringBuffer::kInPlace) {
    buffer.heap_.assign(length + 1, '\0');
    bytes = buffer.heap_.data();
  }
  size_t copied = 0;
  if (napi_get_value_string_utf8(env, value, bytes, length + 1, &copied) != napi_ok) {
    return std::nullopt;
  }
  const std::string_view text(bytes, strnlen(bytes, std::min(copied, length)));
  // Node-API writes well-formed UTF-8; what is not plain ASCII is repaired as
  // stringFromNapi repairs it.
  if (isAscii(text)) return text;
  buffer.heap_ = sanitizeUtf8(text);
  return std::string_view(buffer.heap_);
}

std::optional<std::string> stringProperty(napi_env env, napi_value object, const std::string& key) {
  auto value = propertyValue(env, object, key);
  if (!value) return std::nullopt;
  return stringFromNapi(env, *value);
}

std::optional<std::string> wholeStringProperty(napi_env env, napi_value object,
                                               const std::string& key) {
  auto value = propertyValue(env, object, key);
  if (!value) return std::nullopt;
  return textOfString(env, *value, false);
}

std::optional<int64_t> intProperty(napi_env env, napi_value object, const std::string& key) {
  auto value = propertyValue(env, object, key);
  if (!value) return std::nullopt;
  int64_t result = 0;
  if (napi_get_value_int64(env, *value, &result) != napi_ok) return std::nullopt;
  return result;
}

std::optional<double> numberProperty(napi_env env, napi_value object, const std::string& key) {
  auto value = propertyValue(env, object, key);
  if (!value) return std::nullopt;
  double result = 0;
  if (napi_get_value_double(env, *value, &result) != napi_ok) return std::nullopt;
  return result;
}

FunctionPropertyReading functionProperty(napi_env env, napi_value object, const std::string& key) {
  using State = FunctionPropertyReading::State;
  auto value = propertyValue(env, object, key);
  if (!value) return {};
  napi_valuetype type;
  if (napi_typeof(env, *value, &type) != napi_ok || type == napi_undefined) return {};
  if (type != napi_function) return {State::kNotFunction, nullptr};
  return {State::kFunction, *value};
}

bool setStringProperty(napi_env env, napi_value object, const std::string& key,
                       const std::string& value) {
  if (!isObject(env, object)) return false;
  napi_value string;
  if (napi_create_string_utf8(env, value.c_str(), NAPI_AUTO_LENGTH, &string) != napi_ok) {
    return false;
  }
  return withoutPendingException(env, [&] {
           return napi_set_named_property(env, object, key.c_str(), string);
         }) == napi_ok;
}

bool setNumberProperty(napi_env env, napi_value object, const std::string& key, double value) {
  if (!isObject(env, object)) return false;
  napi_value number;
  if (napi_create_double(env, value, &number) != napi_ok) return false;
  return withoutPendingException(env, [&] {
           return napi_set_named_property(env, object, key.c_str(), number);
         }) == napi_ok;
}

}  // namespace kestrovan
