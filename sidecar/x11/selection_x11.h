// XdndSelectionReader: the X11 stand-in for the macOS drag pasteboard, the
// `XdndSelection` selection that an XDND drag source owns while it drags.
//
// The change count counts owner changes that XFixes reports (every
// `XSetSelectionOwner`, also by the same owner), starting from 0 when the
// reader is created. Reading the contents asks the owner to convert the
// selection and waits for its answer for at most `kConversionTimeout`; no
// answer in time, a refusal or an incremental (INCR) answer all count as "no
// data". An owner that let a conversion time out is not asked again until the
// change count moves on (a new drag): every read for that drag is "no data"
// at once, so a silent owner costs the main loop one bounded wait per drag,
// not one per polling tick. Use one reader per connection, on the main thread.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrovan::sidecar {

class XdndSelectionReader {
 public:
  // How long a conversion waits for the owner's answer.
  static constexpr std::chrono::milliseconds kConversionTimeout{100};

  // Creates the reader's own (unmapped) requestor window and asks XFixes for
  // owner changes of XdndSelection. `fixesEventBase` is XFixes' event base.
  XdndSelectionReader(Display* display, Window root, int fixesEventBase);
  ~XdndSelectionReader();

  XdndSelectionReader(const XdndSelectionReader&) = delete;
  XdndSelectionReader& operator=(const XdndSelectionReader&) = delete;

  // Counts an XFixes owner change of XdndSelection; returns whether `event`
  // was one (and so is consumed).
  bool handleEvent(const XEvent& event);

  std::int64_t changeCount() const { return changeCount_; }

  // Whether the owner converts the selection to text/uri-list with at least
  // one file: URI in it.
  bool offersFileURIs();

  // The owner's TARGETS as atom names, or none when there is no owner or it
  // gives no list in time.
  std::optional<std::vector<std::string>> targets();

 private:
  struct Reply {
    Atom type = None;
    int format = 0;
    std::vector<unsigned char> bytes;  // for format 32: an array of `long`
    unsigned long items = 0;
  };

  // Converts XdndSelection to `target` and waits, bounded, for the answer.
  std::optional<Reply> convert(Atom target);

  Display* display_;
  int fixesEventBase_;
  Window requestor_;
  Atom xdndSelection_;
  Atom uriList_;
  Atom targets_;
  Atom incr_;
  Atom property_;
  std::int64_t changeCount_ = 0;
  // The change count at which the owner let a conversion time out.
  std::optional<std::int64_t> silentAtChangeCount_;
};

// Whether a text/uri-list body names at least one file: URI (comment lines
// starting with '#' are skipped; the scheme is matched case-insensitively).
bool uriListHasFileURI(std::string_view uriList);

}  // namespace kestrovan::sidecar
