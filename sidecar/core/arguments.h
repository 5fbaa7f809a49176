// The sidecar's command line: reading it into `SidecarSettings`, and the one
// error type, `ArgumentError`, whose description is what the failure line on
// standard error shows.
//
// The reader is a pure function of the argument list; it prints nothing and
// never exits. `runSidecar` turns an error into the failure line and status 2.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "core/rect.h"

namespace kestrovan::sidecar {

// What went wrong with the command line. The first error ends the reading.
struct ArgumentError {
  enum class Kind {
    missingValue,      // `text` is the option that has no value
    invalidRect,       // `text` is the whole value given for a rect option
    invalidNumber,     // `text` is the value, or the rect component, that is no number
    missingTrayFrame,  // `text` is empty
  };

  Kind kind;
  std::string text;

  // The one-sentence description, for example "Missing value for --zone-size.".
  std::string description() const;

  friend bool operator==(const ArgumentError&, const ArgumentError&) = default;
};

// The options as read, before any clamping (see zones.h for that).
struct SidecarSettings {
  Rect trayFrame;
  std::optional<Rect> dropzoneFrame;
  double padding = 20.0;
  double zoneSize = 100.0;
};

using ArgumentsResult = std::variant<SidecarSettings, ArgumentError>;

// Reads the arguments after the program path. Options are matched whole and
// take the next argument as their value whatever it looks like; unknown
// arguments are skipped; a repeated option's last value wins.
ArgumentsResult parseArguments(std::span<const std::string> arguments);

// Splits at every comma, dropping empty pieces, and reads exactly four numbers
// as x, y, width, height.
std::variant<Rect, ArgumentError> parseRect(std::string_view text);

// A number is a non-empty text that does not begin with white space and that
// `strtod`, in the C locale, consumes entirely: signs, exponents, hexadecimal
// floats, infinity and NaN included. A magnitude beyond the 64-bit range reads
// as the signed infinity `strtod` returns, and one below it as the (possibly
// subnormal or zero) value it returns; both are numbers, like "inf" is.
std::optional<double> parseNumber(std::string_view text);

}  // namespace kestrovan::sidecar
