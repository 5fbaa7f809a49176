// Builds diagnostic messages by plain concatenation: fixed texts as given,
// values with their control characters escaped, integers in decimal, Booleans
// as "YES" or "NO", and fixed-point numbers with one decimal place through
// oneDecimal(). No caller formats or escapes by hand.
//
//   logLine("session init sessionId=", id, " expectedWriteCount=", count)
//
// The fixed texts are the string literals of the call; every other text (a
// std::string, std::string_view, const char* or optional text) is a value. A
// value may come from the page, so it can never start a line of its own: each
// control character in it (U+0000 to U+001F, U+007F) is written as "\n", "\r",
// "\t" or "\u00XX" (two upper-case hexadecimal digits). Everything else,
// including a backslash, is written unchanged, so a message is always one
// line and a value without control characters reads exactly as given.
#pragma once

#include <charconv>
#include <cstddef>
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

// A value's text, control characters escaped.
void appendValue(std::string& out, std::string_view text);

inline void append(std::string& out, std::string_view text) { appendValue(out, text); }
inline void append(std::string& out, const char* text) {
  if (text != nullptr) appendValue(out, text);
}
inline void append(std::string& out, const std::string& text) { appendValue(out, text); }
// An absent text is written as empty.
inline void append(std::string& out, const std::optional<std::string>& text) {
  if (text) appendValue(out, *text);
}
inline void append(std::string& out, bool value) { out.append(value ? "YES" : "NO"); }
// (Type traits rather than <concepts>: the macOS SDK's libc++ predates them.)
template <typename T>
requires(std::is_integral_v<T> && !std::is_same_v<T, bool> &&
         !std::is_same_v<T, char>) void append(std::string& out, T value) {
  char digits[24];  // a 64-bit integer's sign and digits
  const std::to_chars_result written = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, static_cast<size_t>(written.ptr - digits));
}
void append(std::string& out, OneDecimal value);

// Whether a part is a string literal (an array of char).
template <typename Part>
inline constexpr bool kIsLiteral =
    std::is_array_v<Part> && std::is_same_v<std::remove_cv_t<std::remove_extent_t<Part>>, char>;

// A string literal is a fixed text: written as it is, its length known from
// its type (the terminator excluded), so no fixed text is measured at run time.
template <typename Part>
void appendPart(std::string& out, const Part& part) {
  if constexpr (kIsLiteral<Part>) {
    out.append(static_cast<const char*>(part), std::extent_v<Part> - 1);
  } else {
    append(out, part);
  }
}

// About how long a part is written (an escaped value is longer), so that a
// line is allocated once.
inline size_t sizeHint(std::string_view text) { return text.size(); }
inline size_t sizeHint(const std::string& text) { return text.size(); }
inline size_t sizeHint(const char* text) {
  return text != nullptr ? std::char_traits<char>::length(text) : 0;
}
inline size_t sizeHint(const std::optional<std::string>& text) { return text ? text->size() : 0; }
inline size_t sizeHint(bool) { return 3; }
inline size_t sizeHint(OneDecimal) { return 8; }
template <typename T>
requires(std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char>) size_t
    sizeHint(T) {
  return 20;
}
template <typename Part>
size_t partSizeHint(const Part& part) {
  if constexpr (kIsLiteral<Part>) {
    return std::extent_v<Part> - 1;
  } else {
    return sizeHint(part);
  }
}

}  // namespace log_line_detail

// Appends the message to `out`.
template <typename... Parts>
void appendLogLine(std::string& out, const Parts&... parts) {
  out.reserve(out.size() + (size_t{0} + ... + log_line_detail::partSizeHint(parts)));
  (log_line_detail::appendPart(out, parts), ...);
}

template <typename... Parts>
std::string logLine(const Parts&... parts) {
  std::string out;
  appendLogLine(out, parts...);
  return out;
}

}  // namespace kestrovan
