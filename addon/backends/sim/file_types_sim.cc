// File types on the simulated desktop: macOS's identifiers for common
// extensions. An extension missing from the table gets a dynamic type, as
// UTType typeWithFilenameExtension:conformingToType: makes one: "dyn.a"
// followed by an encoding of the declaration, conforming to public.data. (The
// encoding is this desktop's own, in the spirit of macOS's: a base-32 text of
// the declaration "?0=6:1=" + the extension.)

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <unordered_map>
#include <string>
#include <string_view>

#include "file_types_sim.h"
#include "port/file_types.h"

namespace kestrovan {
namespace {

// Type identifiers and extensions compare without regard to ASCII case (as
// tolower in the C locale).
void lowerAscii(std::string& text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
}

bool hasUpperAscii(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

}  // namespace
}  // namespace kestrovan

namespace kestrovan::port {

namespace {

const std::unordered_map<std::string, std::string>& extensionTable() {
  static const auto* table = new std::unordered_map<std::string, std::string>{
      {"pdf", "com.adobe.pdf"},
      {"gz", "org.gnu.gnu-zip-archive"},
      {"tgz", "org.gnu.gnu-zip-tar-archive"},
      {"zip", "public.zip-archive"},
      {"tar", "public.tar-archive"},
      {"txt", "public.plain-text"},
      {"text", "public.plain-text"},
      {"md", "net.daringfireball.markdown"},
      {"csv", "public.comma-separated-values-text"},
      {"rtf", "public.rtf"},
      {"png", "public.png"},
      {"jpg", "public.jpeg"},
      {"jpeg", "public.jpeg"},
      {"gif", "com.compuserve.gif"},
      {"heic", "public.heic"},
      {"tiff", "public.tiff"},
      {"svg", "public.svg-image"},
      {"json", "public.json"},
      {"xml", "public.xml"},
      {"html", "public.html"},
      {"htm", "public.html"},
      {"mp4", "public.mpeg-4"},
      {"mov", "com.apple.quicktime-movie"},
      {"mp3", "public.mp3"},
      {"wav", "com.microsoft.waveform-audio"},
      {"docx", "org.openxmlformats.wordprocessingml.document"},
      {"xlsx", "org.openxmlformats.spreadsheetml.sheet"},
      {"pptx", "org.openxmlformats.presentationml.presentation"},
      {"doc", "com.microsoft.word.doc"},
      {"dmg", "com.apple.disk-image-udif"},
  };
  return *table;
}

// The types the desktop knows besides the dynamic ones (the base types and
// those of the extension table), each with whether it conforms to public.data
// or public.directory: every base type but the roots and the abstract kinds
// does, and every type of the extension table does. One hashed lookup answers
// both questions (every item of a drag asks).
const std::unordered_map<std::string, bool>& knownTypes() {
  static const auto* types = [] {
    auto* gathered = new std::unordered_map<std::string, bool>{
        {"public.item", false},
        {"public.content", false},
        {"public.data", true},
        {"public.folder", true},
        {"public.directory", true},
        {"public.text", true},
        {"public.image", true},
        {"public.movie", true},
        {"public.audio", true},
        {"public.archive", true},
        {"public.composite-content", false},
    };
    for (const auto& entry : extensionTable()) gathered->emplace(entry.second, true);
    return gathered;
  }();
  return *types;
}

constexpr char kDynamicAlphabet[] = "abcdefghkmnpqrstuvwxyz0123456789";
constexpr std::string_view kDynamicPrefix = "dyn.a";

std::string dynamicTypeIdentifier(const std::string& extension) {
  const std::string declaration = "?0=6:1=" + extension;
  std::string out(kDynamicPrefix);
  uint32_t bits = 0;
  int pending = 0;
  for (unsigned char byte : declaration) {
    bits = (bits << 8) | byte;
    pending += 8;
    while (pending >= 5) {
      out += kDynamicAlphabet[(bits >> (pending - 5)) & 31];
      pending -= 5;
    }
  }
  if (pending > 0) out += kDynamicAlphabet[(bits << (5 - pending)) & 31];
  return out;
}

bool isDynamicTypeIdentifier(const std::string& lower) {
  if (lower.size() <= kDynamicPrefix.size() ||
      lower.compare(0, kDynamicPrefix.size(), kDynamicPrefix) != 0) {
    return false;
  }
  return lower.find_first_not_of(kDynamicAlphabet, kDynamicPrefix.size()) == std::string::npos;
}

}  // namespace

std::string folderTypeIdentifier() { return "public.folder"; }
std::string dataTypeIdentifier() { return "public.data"; }

std::optional<std::string> typeIdentifierForExtension(const std::string& extension) {
  // UTType looks extensions up without regard to case.
  if (!hasUpperAscii(extension)) {
    auto it = extensionTable().find(extension);
    if (it == extensionTable().end()) return dynamicTypeIdentifier(extension);
    return it->second;
  }
  std::string lower = extension;
  lowerAscii(lower);
  auto it = extensionTable().find(lower);
  if (it == extensionTable().end()) return dynamicTypeIdentifier(lower);
  return it->second;
}

bool isKnownTypeIdentifier(const std::string& identifier) {
  // Identifiers are compared without regard to case, as UTType does (copied
  // only when there is a capital to lower).
  if (!hasUpperAscii(identifier)) return isKnownLowerCaseTypeIdentifier(identifier);
  std::string lower = identifier;
  lowerAscii(lower);
  return isKnownLowerCaseTypeIdentifier(lower);
}

bool isKnownLowerCaseTypeIdentifier(const std::string& lower) {
  return knownTypes().count(lower) != 0 || isDynamicTypeIdentifier(lower);
}

namespace {

// Whether a lower-case identifier is of a type that conforms to public.data or
// public.directory; a dynamic type conforms to public.data.
bool lowerCaseConformsToDataOrDirectory(const std::string& lower) {
  const auto& types = knownTypes();
  if (auto found = types.find(lower); found != types.end()) return found->second;
  return isDynamicTypeIdentifier(lower);
}

}  // namespace

}  // namespace kestrovan::port

namespace kestrovan::sim {

bool conformsToDataOrDirectory(const std::string& identifier) {
  // Every item of a drag asks: copied only when there is a capital to lower.
  if (!hasUpperAscii(identifier)) return port::lowerCaseConformsToDataOrDirectory(identifier);
  std::string lower = identifier;
  lowerAscii(lower);
  return port::lowerCaseConformsToDataOrDirectory(lower);
}

}  // namespace kestrovan::sim
