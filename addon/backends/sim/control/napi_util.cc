#include "control/napi_util.h"

namespace kestrovan::sim::control {

napi_value undefinedValue(napi_env env) {
  napi_value v;
  napi_get_undefined(env, &v);
  return v;
}
napi_value number(napi_env env, double value) {
  napi_value v;
  napi_create_double(env, value, &v);
  return v;
}
napi_value boolean(napi_env env, bool value) {
  napi_value v;
  napi_get_boolean(env, value, &v);
  return v;
}
napi_value string(napi_env env, const std::string& value) {
  napi_value v;
  napi_create_string_utf8(env, value.data(), value.size(), &v);
  return v;
}
napi_value object(napi_env env) {
  napi_value v;
  napi_create_object(env, &v);
  return v;
}
napi_value array(napi_env env) {
  napi_value v;
  napi_create_array(env, &v);
  return v;
}
void set(napi_env env, napi_value object, const char* key, napi_value value) {
  napi_set_named_property(env, object, key, value);
}
void push(napi_env env, napi_value array, napi_value value) {
  uint32_t length = 0;
  napi_get_array_length(env, array, &length);
  napi_set_element(env, array, length, value);
}

napi_valuetype typeOf(napi_env env, napi_value value) {
  napi_valuetype type = napi_undefined;
  if (value != nullptr) napi_typeof(env, value, &type);
  return type;
}
bool isNullish(napi_env env, napi_value value) {
  auto type = typeOf(env, value);
  return type == napi_undefined || type == napi_null;
}
std::optional<napi_value> get(napi_env env, napi_value object, const char* key) {
  if (typeOf(env, object) != napi_object) return std::nullopt;
  napi_value value;
  if (napi_get_named_property(env, object, key, &value) != napi_ok) {
    throw ControlError{std::string("cannot read ") + key};
  }
  if (isNullish(env, value)) return std::nullopt;
  return value;
}
double toNumber(napi_env env, napi_value value, const char* what) {
  double out;
  if (napi_get_value_double(env, value, &out) != napi_ok) {
    throw ControlError{std::string(what) + " must be a number"};
  }
  return out;
}
bool toBool(napi_env env, napi_value value, const char* what) {
  bool out;
  if (napi_get_value_bool(env, value, &out) != napi_ok) {
    throw ControlError{std::string(what) + " must be a boolean"};
  }
  return out;
}
std::string toString(napi_env env, napi_value value, const char* what) {
  size_t length = 0;
  if (napi_get_value_string_utf8(env, value, nullptr, 0, &length) != napi_ok) {
    throw ControlError{std::string(what) + " must be a string"};
  }
  std::string out(length, '\0');
  napi_get_value_string_utf8(env, value, out.data(), length + 1, &length);
  return out;
}
std::vector<napi_value> toArray(napi_env env, napi_value value, const char* what) {
  bool isArray = false;
  if (napi_is_array(env, value, &isArray) != napi_ok || !isArray) {
    throw ControlError{std::string(what) + " must be an array"};
  }
  uint32_t length = 0;
  napi_get_array_length(env, value, &length);
  std::vector<napi_value> out(length);
  for (uint32_t i = 0; i < length; ++i) napi_get_element(env, value, i, &out[i]);
  return out;
}
port::Rect toRect(napi_env env, napi_value value, const char* what) {
  if (typeOf(env, value) != napi_object) throw ControlError{std::string(what) + " must be a rect"};
  auto field = [&](const char* key) {
    auto v = get(env, value, key);
    if (!v) throw ControlError{std::string(what) + "." + key + " is missing"};
    return toNumber(env, *v, key);
  };
  return {field("x"), field("y"), field("width"), field("height")};
}
port::Point toPoint(napi_env env, napi_value value, const char* what) {
  if (typeOf(env, value) != napi_object) throw ControlError{std::string(what) + " must be a point"};
  auto field = [&](const char* key) {
    auto v = get(env, value, key);
    if (!v) throw ControlError{std::string(what) + "." + key + " is missing"};
    return toNumber(env, *v, key);
  };
  return {field("x"), field("y")};
}
napi_value fromRect(napi_env env, const port::Rect& rect) {
  napi_value o = object(env);
  set(env, o, "x", number(env, rect.x));
  set(env, o, "y", number(env, rect.y));
  set(env, o, "width", number(env, rect.width));
  set(env, o, "height", number(env, rect.height));
  return o;
}
napi_value fromPoint(napi_env env, const port::Point& point) {
  napi_value o = object(env);
  set(env, o, "x", number(env, point.x));
  set(env, o, "y", number(env, point.y));
  return o;
}

std::vector<napi_value> arguments(napi_env env, napi_callback_info info, size_t count) {
  std::vector<napi_value> argv(count, nullptr);
  size_t argc = count;
  napi_get_cb_info(env, info, &argc, argv.data(), nullptr, nullptr);
  napi_value undefined = undefinedValue(env);
  for (size_t i = argc; i < count; ++i) argv[i] = undefined;
  return argv;
}

void defineFunction(napi_env env, napi_value exports, const char* name, napi_callback fn) {
  napi_value function;
  napi_create_function(env, name, NAPI_AUTO_LENGTH, fn, nullptr, &function);
  napi_set_named_property(env, exports, name, function);
}

}  // namespace kestrovan::sim::control
