#include "bridge/stored_callback.h"

#include "bridge/js_call.h"

namespace kestrovan {

std::unique_ptr<StoredCallback> StoredCallback::create(napi_env env, napi_value function,
                                                       const char* resourceName) {
  napi_value name = nullptr;
  napi_async_context context = nullptr;
  if (napi_create_string_utf8(env, resourceName, NAPI_AUTO_LENGTH, &name) != napi_ok ||
      napi_async_init(env, nullptr, name, &context) != napi_ok || context == nullptr) {
    return nullptr;
  }
  napi_ref ref = nullptr;
  if (napi_create_reference(env, function, 1, &ref) != napi_ok || ref == nullptr) {
    napi_async_destroy(env, context);
    return nullptr;
  }
  return std::unique_ptr<StoredCallback>(new StoredCallback(env, ref, context));
}

StoredCallback::~StoredCallback() { release(); }

napi_status StoredCallback::call(size_t argc, const napi_value* argv, napi_value* result) const {
  if (env_ == nullptr || ref_ == nullptr) return napi_invalid_arg;
  napi_value function = nullptr;
  napi_status status = napi_get_reference_value(env_, ref_, &function);
  if (status != napi_ok) return status;
  if (function == nullptr) return napi_invalid_arg;
  return callJavaScript(env_, context_, function, argc, argv, result);
}

void StoredCallback::release() {
  if (env_ != nullptr) {
    if (context_ != nullptr) napi_async_destroy(env_, context_);
    if (ref_ != nullptr) napi_delete_reference(env_, ref_);
  }
  env_ = nullptr;
  ref_ = nullptr;
  context_ = nullptr;
}

}  // namespace kestrovan
