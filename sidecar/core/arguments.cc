#include "core/arguments.h"

#include <vector>

#include "port/c_locale_number_port.h"

namespace kestrovan::sidecar {
namespace {

constexpr std::string_view kTrayFrameOption = "--tray-frame";
constexpr std::string_view kDropzoneFrameOption = "--dropzone-frame";
constexpr std::string_view kPaddingOption = "--dropzone-padding";
constexpr std::string_view kZoneSizeOption = "--zone-size";

bool isLeadingSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::string ArgumentError::description() const {
  switch (kind) {
    case Kind::missingValue:
      return "Missing value for " + text + ".";
    case Kind::invalidRect:
      return "Expected rect as x,y,width,height, received " + text + ".";
    case Kind::invalidNumber:
      return "Expected a number, received " + text + ".";
    case Kind::missingTrayFrame:
      return "Missing --tray-frame x,y,width,height.";
  }
  return {};
}

std::optional<double> parseNumber(std::string_view text) {
  if (text.empty() || isLeadingSpace(text.front())) return std::nullopt;
  const std::string copy(text);  // strtod needs a terminated string
  if (copy.size() != std::char_traits<char>::length(copy.c_str())) return std::nullopt;
  char* end = nullptr;
  // ERANGE is deliberately not looked at: overflow gives ±HUGE_VAL (infinity)
  // and underflow a subnormal or zero, and both count as numbers.
  const double value = strtodInCLocale(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size()) return std::nullopt;
  return value;
}

std::variant<Rect, ArgumentError> parseRect(std::string_view text) {
  std::vector<std::string_view> pieces;
  size_t begin = 0;
  while (begin <= text.size()) {
    size_t comma = text.find(',', begin);
    if (comma == std::string_view::npos) comma = text.size();
    if (comma > begin) pieces.push_back(text.substr(begin, comma - begin));
    begin = comma + 1;
  }
  if (pieces.size() != 4) {
    return ArgumentError{ArgumentError::Kind::invalidRect, std::string(text)};
  }
  double values[4];
  for (size_t i = 0; i < 4; ++i) {
    const std::optional<double> number = parseNumber(pieces[i]);
    if (!number) return ArgumentError{ArgumentError::Kind::invalidNumber, std::string(pieces[i])};
    values[i] = *number;
  }
  return Rect{values[0], values[1], values[2], values[3]};
}

ArgumentsResult parseArguments(std::span<const std::string> arguments) {
  SidecarSettings settings;
  bool trayFrameSeen = false;
  for (size_t index = 0; index < arguments.size(); ++index) {
    const std::string& argument = arguments[index];
    const bool isRectOption = argument == kTrayFrameOption || argument == kDropzoneFrameOption;
    const bool isNumberOption = argument == kPaddingOption || argument == kZoneSizeOption;
    if (!isRectOption && !isNumberOption) continue;

    ++index;
    if (index == arguments.size()) {
      return ArgumentError{ArgumentError::Kind::missingValue, argument};
    }
    const std::string& value = arguments[index];

    if (isRectOption) {
      auto rect = parseRect(value);
      if (auto* error = std::get_if<ArgumentError>(&rect)) return *error;
      if (argument == kTrayFrameOption) {
        settings.trayFrame = std::get<Rect>(rect);
        trayFrameSeen = true;
      } else {
        settings.dropzoneFrame = std::get<Rect>(rect);
      }
    } else {
      const std::optional<double> number = parseNumber(value);
      if (!number) return ArgumentError{ArgumentError::Kind::invalidNumber, value};
      (argument == kPaddingOption ? settings.padding : settings.zoneSize) = *number;
    }
  }
  if (!trayFrameSeen) return ArgumentError{ArgumentError::Kind::missingTrayFrame, {}};
  return settings;
}

}  // namespace kestrovan::sidecar
