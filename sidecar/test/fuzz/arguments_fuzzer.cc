// Fuzz target for the command-line reader and the zone geometry.
//
// An input is an argument list: its bytes split at every NUL byte (so no
// argument holds a NUL, as with a real argv); the empty input is the empty
// list. Each input is read by the sidecar's `parseArguments`, and its zones
// computed, and the same is done by a small reference model written here
// independently: the option walk as a "pending option" state machine, rects
// split character by character, the number rule as a grammar of what `strtod`
// accepts with the value taken from `std::from_chars`, and the zone formulas
// spelled out. Any difference, in the outcome, an error's kind or text, its
// description, a stored value or a zone edge, aborts with both sides printed.
//
// Built with clang's -fsanitize=fuzzer in sanitizer builds
// (sidecar_arguments_fuzzer); the same checks run over the committed corpus
// in every build through a replay driver (sidecar_arguments_fuzz_replay).
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/arguments.h"
#include "core/rect.h"
#include "core/zones.h"

namespace kestrovan::sidecar::fuzz {
namespace {

// ------------------------------------------------------------ reference model

namespace reference {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool equalsIgnoringCase(std::string_view text, std::string_view word) {
  if (text.size() != word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (lower(text[i]) != word[i]) return false;
  }
  return true;
}

// Digits with at most one point, at least one digit; `hex` picks the digit set.
// Returns the length of the mantissa, or 0 when there is none.
std::size_t mantissaLength(std::string_view text, bool hex) {
  std::size_t i = 0;
  std::size_t digits = 0;
  bool point = false;
  for (; i < text.size(); ++i) {
    if (hex ? isHexDigit(text[i]) : isDigit(text[i])) {
      ++digits;
    } else if (text[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  return digits > 0 ? i : 0;
}

// An exponent: the marker, an optional sign, at least one decimal digit, and
// nothing after it.
bool isExponent(std::string_view text, char marker) {
  if (text.empty() || lower(text[0]) != marker) return false;
  text.remove_prefix(1);
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) text.remove_prefix(1);
  if (text.empty()) return false;
  for (const char c : text) {
    if (!isDigit(c)) return false;
  }
  return true;
}

enum class Form { decimal, hexadecimal, infinity, nan };

// Whether the whole text is one subject sequence of strtod in the C locale,
// with no leading white space; and which form it has.
std::optional<Form> numberForm(std::string_view text) {
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) text.remove_prefix(1);
  if (equalsIgnoringCase(text, "inf") || equalsIgnoringCase(text, "infinity")) {
    return Form::infinity;
  }
  if (text.size() >= 3 && equalsIgnoringCase(text.substr(0, 3), "nan")) {
    const std::string_view rest = text.substr(3);
    if (rest.empty()) return Form::nan;
    if (rest.front() != '(' || rest.back() != ')' || rest.size() < 2) return std::nullopt;
    for (const char c : rest.substr(1, rest.size() - 2)) {
      const bool alnum = isDigit(c) || (lower(c) >= 'a' && lower(c) <= 'z');
      if (!alnum && c != '_') return std::nullopt;
    }
    return Form::nan;
  }
  if (text.size() > 2 && text[0] == '0' && lower(text[1]) == 'x') {
    const std::string_view body = text.substr(2);
    const std::size_t length = mantissaLength(body, true);
    if (length > 0 && (length == body.size() || isExponent(body.substr(length), 'p'))) {
      return Form::hexadecimal;
    }
    // "0x" with no hexadecimal mantissa: strtod reads only the "0".
  }
  const std::size_t length = mantissaLength(text, false);
  if (length > 0 && (length == text.size() || isExponent(text.substr(length), 'e'))) {
    return Form::decimal;
  }
  return std::nullopt;
}

struct Number {
  double value;
  bool outOfRange;  // the magnitude overflows, or underflows to zero
};

std::optional<Number> parseNumber(std::string_view text) {
  if (text.empty()) return std::nullopt;
  const char first = text.front();
  if (first == ' ' || first == '\t' || first == '\n' || first == '\v' || first == '\f' ||
      first == '\r') {
    return std::nullopt;
  }
  const std::optional<Form> form = numberForm(text);
  if (!form) return std::nullopt;
  const bool negative = text.front() == '-';
  if (text.front() == '+' || text.front() == '-') text.remove_prefix(1);
  switch (*form) {
    case Form::infinity:
      return Number{negative ? -HUGE_VAL : HUGE_VAL, false};
    case Form::nan:
      return Number{negative ? -std::nan("") : std::nan(""), false};
    case Form::decimal:
    case Form::hexadecimal: {
      const bool hex = *form == Form::hexadecimal;
      if (hex) text.remove_prefix(2);
      double value = 0;
      const auto [end, error] =
          std::from_chars(text.data(), text.data() + text.size(), value,
                          hex ? std::chars_format::hex : std::chars_format::general);
      if (end != text.data() + text.size()) {
        std::fprintf(stderr, "reference: from_chars stopped early on \"%.*s\"\n",
                     static_cast<int>(text.size()), text.data());
        std::abort();
      }
      return Number{negative ? -value : value, error == std::errc::result_out_of_range};
    }
  }
  return std::nullopt;
}

std::string rectError(std::string_view value) {
  return "Expected rect as x,y,width,height, received " + std::string(value) + ".";
}
std::string numberError(std::string_view text) {
  return "Expected a number, received " + std::string(text) + ".";
}

struct Outcome {
  // Exactly one of `description` and the settings holds.
  std::optional<std::string> description;
  ArgumentError::Kind kind{};
  std::string text;
  std::optional<Rect> trayFrame;
  std::optional<Rect> dropzoneFrame;
  double padding = 20.0;
  double zoneSize = 100.0;
  bool outOfRange = false;  // some value read came out of range
};

// Reads a rect into `rect`, or records the error in `outcome`.
bool readRect(std::string_view value, Rect& rect, Outcome& outcome) {
  std::vector<std::string> pieces;
  std::string piece;
  for (const char c : value) {
    if (c != ',') {
      piece.push_back(c);
    } else if (!piece.empty()) {
      pieces.push_back(piece);
      piece.clear();
    }
  }
  if (!piece.empty()) pieces.push_back(piece);
  if (pieces.size() != 4) {
    outcome.description = rectError(value);
    outcome.kind = ArgumentError::Kind::invalidRect;
    outcome.text = value;
    return false;
  }
  double* const fields[] = {&rect.x, &rect.y, &rect.width, &rect.height};
  for (std::size_t i = 0; i < 4; ++i) {
    const std::optional<Number> number = parseNumber(pieces[i]);
    if (!number) {
      outcome.description = numberError(pieces[i]);
      outcome.kind = ArgumentError::Kind::invalidNumber;
      outcome.text = pieces[i];
      return false;
    }
    *fields[i] = number->value;
    outcome.outOfRange = outcome.outOfRange || number->outOfRange;
  }
  return true;
}

Outcome parseArguments(const std::vector<std::string>& arguments) {
  static const std::string_view options[] = {"--tray-frame", "--dropzone-frame",
                                             "--dropzone-padding", "--zone-size"};
  Outcome outcome;
  std::optional<std::string_view> pending;  // an option waiting for its value
  for (const std::string& argument : arguments) {
    if (!pending) {
      for (const std::string_view option : options) {
        if (argument == option) pending = option;
      }
      continue;
    }
    const std::string_view option = *pending;
    pending.reset();
    if (option == "--tray-frame" || option == "--dropzone-frame") {
      Rect rect;
      if (!readRect(argument, rect, outcome)) return outcome;
      (option == "--tray-frame" ? outcome.trayFrame : outcome.dropzoneFrame) = rect;
    } else {
      const std::optional<Number> number = parseNumber(argument);
      if (!number) {
        outcome.description = numberError(argument);
        outcome.kind = ArgumentError::Kind::invalidNumber;
        outcome.text = argument;
        return outcome;
      }
      (option == "--zone-size" ? outcome.zoneSize : outcome.padding) = number->value;
      outcome.outOfRange = outcome.outOfRange || number->outOfRange;
    }
  }
  if (pending) {
    outcome.description = "Missing value for " + std::string(*pending) + ".";
    outcome.kind = ArgumentError::Kind::missingValue;
    outcome.text = *pending;
  } else if (!outcome.trayFrame) {
    outcome.description = "Missing --tray-frame x,y,width,height.";
    outcome.kind = ArgumentError::Kind::missingTrayFrame;
  }
  return outcome;
}

// Plain minimum and maximum: the second value only when it is strictly
// smaller (larger), so a NaN in the first place stays and one in the second
// place is passed over.
double minimum(double a, double b) { return b < a ? b : a; }
double maximum(double a, double b) { return a < b ? b : a; }

Rect unite(const Rect& a, const Rect& b) {
  const double left = minimum(a.x, b.x);
  const double bottom = minimum(a.y, b.y);
  const double right = maximum(a.x + a.width, b.x + b.width);
  const double top = maximum(a.y + a.height, b.y + b.height);
  return Rect{left, bottom, right - left, top - bottom};
}

SidecarZones zones(const Outcome& outcome) {
  const double s = std::isnan(outcome.zoneSize) || outcome.zoneSize < 1.0 ? 1.0 : outcome.zoneSize;
  const double p = std::isnan(outcome.padding) || outcome.padding < 0 ? 0.0 : outcome.padding;
  const Rect& t = *outcome.trayFrame;
  SidecarZones result;
  result.triggerZone = Rect{t.x + t.width * 0.5 - s * 0.5, t.y - s, s, s};
  if (outcome.dropzoneFrame) {
    const Rect& d = *outcome.dropzoneFrame;
    result.retentionZone =
        unite(result.triggerZone, Rect{d.x - p, d.y - p, d.width + 2 * p, d.height + 2 * p});
    result.clickAllowedZone = unite(t, d);
  } else {
    result.retentionZone = result.triggerZone;
    result.clickAllowedZone = unite(t, result.triggerZone);
  }
  return result;
}

bool contains(const Rect& r, ScreenPoint p) {
  const double values[] = {r.x, r.y, r.x + r.width, r.y + r.height, p.x, p.y};
  for (const double v : values) {
    if (std::isnan(v)) return false;
  }
  return !(p.x < r.x) && !(p.x > r.x + r.width) && !(p.y < r.y) && !(p.y > r.y + r.height);
}

}  // namespace reference

// ------------------------------------------------------------------ checking

std::string quoted(const std::vector<std::string>& arguments) {
  std::string text;
  for (const std::string& argument : arguments) {
    text += " \"";
    for (const char c : argument) {
      char escaped[8];
      const auto byte = static_cast<unsigned char>(c);
      if (byte < 0x20 || byte >= 0x7f || c == '"' || c == '\\') {
        std::snprintf(escaped, sizeof(escaped), "\\x%02x", byte);
        text += escaped;
      } else {
        text.push_back(c);
      }
    }
    text += "\"";
  }
  return text;
}

[[noreturn]] void differ(const std::vector<std::string>& arguments, const std::string& what) {
  std::fprintf(stderr, "sidecar and reference model differ on the arguments%s: %s\n",
               quoted(arguments).c_str(), what.c_str());
  std::abort();
}

// Equal bit for bit, or both NaN with the same sign.
bool same(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) {
    return std::isnan(a) && std::isnan(b) && std::signbit(a) == std::signbit(b);
  }
  return std::memcmp(&a, &b, sizeof(a)) == 0;
}

// A value out of range may only have come out as the infinity or the zero (or
// subnormal) of its sign, as the sidecar documents; otherwise exactly equal.
bool sameNumber(double actual, double expected, bool outOfRange) {
  if (same(actual, expected)) return true;
  if (!outOfRange || std::signbit(actual) != std::signbit(expected)) return false;
  return std::isinf(actual) || std::fabs(actual) < 0x1p-1022;
}

std::string show(const Rect& r) {
  char text[160];
  std::snprintf(text, sizeof(text), "(%a, %a, %a, %a)", r.x, r.y, r.width, r.height);
  return text;
}

void checkRect(const std::vector<std::string>& arguments, const char* name, const Rect& actual,
               const Rect& expected, bool outOfRange) {
  if (!sameNumber(actual.x, expected.x, outOfRange) ||
      !sameNumber(actual.y, expected.y, outOfRange) ||
      !sameNumber(actual.width, expected.width, outOfRange) ||
      !sameNumber(actual.height, expected.height, outOfRange)) {
    differ(arguments, std::string(name) + " is " + show(actual) + ", expected " + show(expected));
  }
}

void checkZones(const std::vector<std::string>& arguments, const SidecarSettings& settings) {
  // The reference geometry runs on the sidecar's own values, so that a value
  // read out of range (allowed to differ within its class) cannot hide a
  // geometry difference.
  reference::Outcome read;
  read.trayFrame = settings.trayFrame;
  read.dropzoneFrame = settings.dropzoneFrame;
  read.padding = settings.padding;
  read.zoneSize = settings.zoneSize;
  const SidecarZones actual = computeZones(settings);
  const SidecarZones expected = reference::zones(read);
  checkRect(arguments, "triggerZone", actual.triggerZone, expected.triggerZone, false);
  checkRect(arguments, "retentionZone", actual.retentionZone, expected.retentionZone, false);
  checkRect(arguments, "clickAllowedZone", actual.clickAllowedZone, expected.clickAllowedZone,
            false);

  // Edge-inclusive containment at every corner of every zone and frame, and
  // at the tray frame's centre.
  std::vector<Rect> rects{actual.triggerZone, actual.retentionZone, actual.clickAllowedZone,
                          settings.trayFrame};
  if (settings.dropzoneFrame) rects.push_back(*settings.dropzoneFrame);
  std::vector<ScreenPoint> points{{settings.trayFrame.x + settings.trayFrame.width * 0.5,
                                   settings.trayFrame.y + settings.trayFrame.height * 0.5}};
  for (const Rect& r : rects) {
    points.push_back({r.x, r.y});
    points.push_back({r.x + r.width, r.y + r.height});
    points.push_back({r.x, r.y + r.height});
    points.push_back({r.x + r.width, r.y});
  }
  for (const Rect& r : rects) {
    for (const ScreenPoint p : points) {
      if (rectContains(r, p) != reference::contains(r, p)) {
        char where[80];
        std::snprintf(where, sizeof(where), "(%a, %a)", p.x, p.y);
        differ(arguments, "containment of " + std::string(where) + " in " + show(r));
      }
    }
  }
}

void check(const std::vector<std::string>& arguments) {
  const ArgumentsResult actual = parseArguments(arguments);
  const reference::Outcome expected = reference::parseArguments(arguments);

  if (const auto* error = std::get_if<ArgumentError>(&actual)) {
    if (!expected.description) differ(arguments, "the sidecar failed: " + error->description());
    if (error->kind != expected.kind || error->text != expected.text) {
      differ(arguments, "error text \"" + error->text + "\", expected \"" + expected.text + "\"");
    }
    if (error->description() != *expected.description) {
      differ(arguments, "description \"" + error->description() + "\", expected \"" +
                            *expected.description + "\"");
    }
    return;
  }
  const SidecarSettings& settings = std::get<SidecarSettings>(actual);
  if (expected.description) differ(arguments, "the reference failed: " + *expected.description);
  checkRect(arguments, "tray frame", settings.trayFrame, *expected.trayFrame, expected.outOfRange);
  if (settings.dropzoneFrame.has_value() != expected.dropzoneFrame.has_value()) {
    differ(arguments, "the dropzone frame is set on one side only");
  }
  if (settings.dropzoneFrame) {
    checkRect(arguments, "dropzone frame", *settings.dropzoneFrame, *expected.dropzoneFrame,
              expected.outOfRange);
  }
  if (!sameNumber(settings.padding, expected.padding, expected.outOfRange) ||
      !sameNumber(settings.zoneSize, expected.zoneSize, expected.outOfRange)) {
    differ(arguments, "padding or zone size differ");
  }
  checkZones(arguments, settings);
}

std::vector<std::string> splitArguments(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments;
  if (size == 0) return arguments;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::size_t begin = 0;
  for (;;) {
    const std::size_t end = bytes.find('\0', begin);
    arguments.emplace_back(bytes.substr(begin, end == std::string_view::npos ? end : end - begin));
    if (end == std::string_view::npos) break;
    begin = end + 1;
  }
  return arguments;
}

}  // namespace
}  // namespace kestrovan::sidecar::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Each rect component is read by strtod on a copy; keep single inputs small
  // enough that a run stays fast without hiding any rule.
  if (size > 4096) return -1;
  kestrovan::sidecar::fuzz::check(kestrovan::sidecar::fuzz::splitArguments(data, size));
  return 0;
}
