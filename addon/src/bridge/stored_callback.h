// A JavaScript function the addon keeps to call later: a reference of count 1
// together with the environment of the call that passed it.
//
// Ownership: whoever holds the StoredCallback owns the reference; it is
// deleted exactly once, by release() or by the destructor, and through the
// environment it was made in. Once that environment has ended, release() is
// called from its teardown (environment_teardown.h), while the environment
// can still take it; from then on the callback is forgotten and never called.
#pragma once

#include <node_api.h>

#include <cstddef>
#include <memory>

namespace kestrovan {

class StoredCallback {
 public:
  // None when the reference cannot be made.
  static std::unique_ptr<StoredCallback> create(napi_env env, napi_value function);

  ~StoredCallback();
  StoredCallback(const StoredCallback&) = delete;
  StoredCallback& operator=(const StoredCallback&) = delete;

  // The environment it was made in; null once released.
  napi_env env() const { return env_; }

  // Calls the function with `this` undefined, by the rules of callJavaScript
  // (js_call.h). The caller has a handle scope open in env(). A released
  // callback is not called: the status is napi_invalid_arg.
  napi_status call(size_t argc, const napi_value* argv, napi_value* result) const;

  // Deletes the reference now; later calls do nothing.
  void release();

 private:
  StoredCallback(napi_env env, napi_ref ref) : env_(env), ref_(ref) {}

  napi_env env_;
  napi_ref ref_;
};

using StoredCallbackPtr = std::unique_ptr<StoredCallback>;

}  // namespace kestrovan
