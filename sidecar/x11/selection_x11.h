// XdndSelectionReader: the X11 stand-in for the macOS drag pasteboard, the
// `XdndSelection` selection that an XDND drag source owns while it drags.
//
// The change count counts owner changes that XFixes reports (every
// `XSetSelectionOwner`, also by the same owner), starting from 0 when the
// reader is created. Reading the contents asks the owner to convert the
// selection and waits for its answer for at most `kConversionTimeout`.
// Owners differ in the time they accept a conversion at: Qt answers only at
// its own selection timestamp (and refuses `CurrentTime`), others only at
// `CurrentTime`. So the reader asks at the timestamp the owner change carried
// and, when that is refused, at once again at `CurrentTime`. A refusal (a
// SelectionNotify with property None, whatever its target field says) is an
// answer and costs no wait; refused at both times, no answer in time, or an
// incremental (INCR) answer all count as "no data". The contents belong to one change count, as a
// pasteboard's do: each answer is kept until the count moves on (a new drag), and an owner that let
// a conversion time out is not asked again for that drag (every read is "no
// data" at once). So the main loop waits on an owner at most once per target
// and drag, not at every polling tick or drag event, and a silent owner costs
// it one bounded wait. Use one reader per connection, on the main thread.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <cstdint>
#include <map>
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

  // The answer for `target` at the current change count: kept, or asked for.
  std::optional<Reply> contents(Atom target);
  // Converts XdndSelection to `target`, at the owner's timestamp and then,
  // if refused, at CurrentTime.
  std::optional<Reply> convert(Atom target);

  enum class Outcome { answered, refused, silent };
  // One conversion request at `time`, waiting (bounded) for its answer, which
  // is left in the requestor's property when `answered`.
  Outcome request(Atom target, Time time);
  // Reads (and deletes) the answer left in the requestor's property.
  std::optional<Reply> takeReply();

  Display* display_;
  int fixesEventBase_;
  Window requestor_;
  Atom xdndSelection_;
  Atom uriList_;
  Atom targets_;
  Atom incr_;
  Atom property_;
  std::int64_t changeCount_ = 0;
  // The selection timestamp of the latest owner change (CurrentTime: none seen).
  Time ownerTimestamp_ = CurrentTime;
  // The change count at which the owner let a conversion time out.
  std::optional<std::int64_t> silentAtChangeCount_;
  // Answers (none: no data) received at `answersChangeCount_`, by target.
  std::int64_t answersChangeCount_ = -1;
  std::map<Atom, std::optional<Reply>> answers_;
};

// Whether a text/uri-list body names at least one file: URI (comment lines
// starting with '#' are skipped; the scheme is matched case-insensitively).
bool uriListHasFileURI(std::string_view uriList);

}  // namespace kestrovan::sidecar
