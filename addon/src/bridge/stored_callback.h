// A JavaScript function the addon keeps to call later: a reference of count 1
// together with the environment of the call that passed it, and an async
// context of its own (napi_async_init), made in the call that handed it over,
// for the calls from handlers and queue blocks (js_call.h).
//
// Ownership: whoever holds the StoredCallback owns the reference and the
// context; both are let go of exactly once, by release() or by the destructor,
// and through the
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
  // None when the reference or the context cannot be made. `resourceName`
  // names the async resource for async hooks.
  static std::unique_ptr<StoredCallback> create(napi_env env, napi_value function,
                                                const char* resourceName);

  ~StoredCallback();
  StoredCallback(const StoredCallback&) = delete;
  StoredCallback& operator=(const StoredCallback&) = delete;

  // The environment it was made in; null once released.
  napi_env env() const { return env_; }

  // Calls the function with `this` undefined, by the rules of callJavaScript
  // (js_call.h). The caller has a handle scope open in env(). A released
  // callback is not called: the status is napi_invalid_arg.
  napi_status call(size_t argc, const napi_value* argv, napi_value* result) const;

  // Destroys the context and deletes the reference now; later calls do nothing.
  void release();

 private:
  StoredCallback(napi_env env, napi_ref ref, napi_async_context context)
      : env_(env), ref_(ref), context_(context) {}

  napi_env env_;
  napi_ref ref_;
  napi_async_context context_;
};

using StoredCallbackPtr = std::unique_ptr<StoredCallback>;

}  // namespace kestrovan
