// Builds diagnostic messages by plain concatenation: texts as given, integers
// in decimal, Booleans as "YES" or "NO", and fixed-point numbers with one
// decimal place through oneDecimal(). No caller formats by hand.
//
//   logLine("session init sessionId=", id, " expectedWriteCount=", count)
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace kestrovan {

// A double to be written as printf's "%.1f" would.
struct OneDecimal {
  double value;
};
inline OneDecimal oneDecimal(double value) { return {value}; }

namespace log_line_detail {

inline void append(std::string& out, std::string_view text) { out.append(text); }
inline void append(std::string& out, const char* text) { out.append(text); }
inline void append(std::string& out, const std::string& text) { out.append(text); }
// An absent text is written as empty.
inline void append(std::string& out, const std::optional<std::string>& text) {
  if (text) out.append(*text);
}
inline void append(std::string& out, bool value) { out.append(value ? "YES" : "NO"); }
// (Type traits rather than <concepts>: the macOS SDK's libc++ predates them.)
template <typename T>
requires(std::is_integral_v<T> && !std::is_same_v<T, bool> &&
         !std::is_same_v<T, char>) void append(std::string& out, T value) {
  out.append(std::to_string(value));
}
void append(std::string& out, OneDecimal value);

}  // namespace log_line_detail

template <typename... Parts>
std::string logLine(const Parts&... parts) {
  std::string out;
  (log_line_detail::append(out, parts), ...);
  return out;
}

}  // namespace kestrovan
