#include "x11/selection_x11.h"

#include <X11/Xatom.h>
#include <X11/extensions/Xfixes.h>
#include <poll.h>

#include <cctype>
#include <climits>
#include <cstring>
#include <string_view>

namespace kestrovan::sidecar {

bool uriListHasFileURI(std::string_view uriList) {
  std::size_t begin = 0;
  while (begin < uriList.size()) {
    std::size_t end = uriList.find('\n', begin);
    if (end == std::string_view::npos) end = uriList.size();
    std::string_view line = uriList.substr(begin, end - begin);
    begin = end + 1;
    if (line.empty() || line.front() == '#') continue;
    static constexpr std::string_view kScheme = "file:";
    if (line.size() < kScheme.size()) continue;
    bool matches = true;
    for (std::size_t i = 0; i < kScheme.size(); ++i) {
      if (std::tolower(static_cast<unsigned char>(line[i])) != kScheme[i]) matches = false;
    }
    if (matches) return true;
  }
  return false;
}

XdndSelectionReader::XdndSelectionReader(Display* display, Window root, int fixesEventBase)
    : display_(display),
      fixesEventBase_(fixesEventBase),
      requestor_(XCreateSimpleWindow(display, root, -10, -10, 1, 1, 0, 0, 0)),
      xdndSelection_(XInternAtom(display, "XdndSelection", False)),
      uriList_(XInternAtom(display, "text/uri-list", False)),
      targets_(XInternAtom(display, "TARGETS", False)),
      incr_(XInternAtom(display, "INCR", False)),
      property_(XInternAtom(display, "KESTROVAN_DRAG_SELECTION", False)) {
  XFixesSelectSelectionInput(display_, requestor_, xdndSelection_,
                             XFixesSetSelectionOwnerNotifyMask);
  XFlush(display_);
}

XdndSelectionReader::~XdndSelectionReader() { XDestroyWindow(display_, requestor_); }

bool XdndSelectionReader::handleEvent(const XEvent& event) {
  if (event.type != fixesEventBase_ + XFixesSelectionNotify) return false;
  const auto& notify = reinterpret_cast<const XFixesSelectionNotifyEvent&>(event);
  if (notify.selection == xdndSelection_) {
    ++changeCount_;
    ownerTimestamp_ = notify.owner != None ? notify.selection_timestamp : CurrentTime;
  }
  return true;
}

std::optional<XdndSelectionReader::Reply> XdndSelectionReader::contents(Atom target) {
  if (answersChangeCount_ != changeCount_) {
    answers_.clear();
    answersChangeCount_ = changeCount_;
  }
  if (const auto kept = answers_.find(target); kept != answers_.end()) return kept->second;
  std::optional<Reply> reply = convert(target);
  if (silentAtChangeCount_ != changeCount_) answers_.emplace(target, reply);
  return reply;
}

std::optional<XdndSelectionReader::Reply> XdndSelectionReader::convert(Atom target) {
  if (silentAtChangeCount_ == changeCount_) return std::nullopt;
  if (XGetSelectionOwner(display_, xdndSelection_) == None) return std::nullopt;

  Outcome outcome = Outcome::refused;
  if (ownerTimestamp_ != CurrentTime) outcome = request(target, ownerTimestamp_);
  if (outcome == Outcome::refused) outcome = request(target, CurrentTime);
  if (outcome == Outcome::silent) {
    silentAtChangeCount_ = changeCount_;
    return std::nullopt;
  }
  if (outcome == Outcome::refused) return std::nullopt;
  return takeReply();
}

XdndSelectionReader::Outcome XdndSelectionReader::request(Atom target, Time time) {
  // Drop a late answer to an earlier conversion that timed out.
  XEvent stale;
  while (XCheckTypedWindowEvent(display_, requestor_, SelectionNotify, &stale)) {
  }
  XDeleteProperty(display_, requestor_, property_);
  XConvertSelection(display_, xdndSelection_, target, property_, requestor_, time);
  XFlush(display_);

  // The answer names the selection and, as ICCCM has the owner copy it, the
  // time asked at; Qt's answers carry no target (None) when they refuse and
  // their own format atom when they answer, so the target is not required.
  const auto deadline = std::chrono::steady_clock::now() + kConversionTimeout;
  XEvent event;
  for (;;) {
    if (XCheckTypedWindowEvent(display_, requestor_, SelectionNotify, &event)) {
      const XSelectionEvent& answer = event.xselection;
      if (answer.selection == xdndSelection_ && (answer.time == time || answer.target == target)) {
        break;
      }
      continue;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return Outcome::silent;
    pollfd connection{ConnectionNumber(display_), POLLIN, 0};
    poll(&connection, 1, static_cast<int>(left.count()) + 1);
  }
  return event.xselection.property == None ? Outcome::refused : Outcome::answered;
}

std::optional<XdndSelectionReader::Reply> XdndSelectionReader::takeReply() {
  Atom type = None;
  int format = 0;
  unsigned long items = 0;
  unsigned long bytesAfter = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display_, requestor_, property_, 0, LONG_MAX / 4, True, AnyPropertyType,
                         &type, &format, &items, &bytesAfter, &data) != Success) {
    return std::nullopt;
  }
  Reply reply;
  reply.type = type;
  reply.format = format;
  reply.items = items;
  if (data != nullptr) {
    const std::size_t unit = format == 32 ? sizeof(long) : static_cast<std::size_t>(format / 8);
    reply.bytes.assign(data, data + items * unit);
    XFree(data);
  }
  if (type == incr_ || type == None) return std::nullopt;
  return reply;
}

bool XdndSelectionReader::offersFileURIs() {
  const std::optional<Reply> reply = contents(uriList_);
  if (!reply || reply->format != 8) return false;
  return uriListHasFileURI(
      std::string_view(reinterpret_cast<const char*>(reply->bytes.data()), reply->bytes.size()));
}

std::optional<std::vector<std::string>> XdndSelectionReader::targets() {
  const std::optional<Reply> reply = contents(targets_);
  if (!reply || reply->format != 32) return std::nullopt;
  std::vector<Atom> atoms(reply->items);
  for (std::size_t i = 0; i < atoms.size(); ++i) {
    long value = 0;
    std::memcpy(&value, reply->bytes.data() + i * sizeof(long), sizeof(long));
    atoms[i] = static_cast<Atom>(value);
  }
  std::vector<std::string> names;
  for (const Atom atom : atoms) {
    if (atom == None) continue;
    char* name = XGetAtomName(display_, atom);
    if (name == nullptr) continue;
    names.emplace_back(name);
    XFree(name);
  }
  return names;
}

}  // namespace kestrovan::sidecar
