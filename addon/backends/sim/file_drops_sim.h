// Drop zones on the simulated desktop, and the drags other applications make
// into the application's windows.
//
// A zone (port::openFileDropZone) is a rectangle over a window's content, in
// content points with the origin at the top left. A drag from another
// application carries items: existing files (as the Finder's) and promised
// files (as Mail's, Photos', Safari's), whose source writes the file only when
// a drop target asks for it. Moved over a window, the drag goes to the
// topmost open zone of that window whose rectangle holds the point (half-open,
// as CGRectContainsPoint), otherwise to the window's web contents, which
// record every drag event they get (so a test can show that a drag outside
// every zone reached the page with its items unchanged). Going from one to
// the other is an exit of the first and an enter of the second, as AppKit's
// draggingExited: and draggingEntered: are; a drop goes to whatever the drag
// is over, and ends the drag.
//
// A promised item's source, when asked to receive into a folder
// (IncomingPromises::receive): in a later turn of the main queue it starts
// writing "<folder>/<name>" (its first half), as a real source streams; it
// publishes the progress fractions it was given spread over its delay; after
// the delay (seconds on the desktop's clock) it fails with its error, or
// writes the rest and reports the path, or, when it never answers, keeps the
// receipt for ever (Mail is known to leave a reader unanswered when the drag
// ends early). The path is the folder and the name joined as
// URLByAppendingPathComponent joins them: a name "../x" leads out of the
// folder, as a hostile source's would. With `linkTo`, the source first makes
// "<folder>/<name>" a symbolic link to that path and writes through it.
// As AppKit wants of NSFilePromiseReceiver, every receive of one drop must
// name the same folder: one that names another is a violation, fails with
// kDestinationsDiffer (in a later turn) and its source never starts.
//
// A window that closes (or the desktop's reset) takes its zones with it: each
// hears fileDropZoneWindowClosed in a later turn of the main queue, unless the
// core closed it first. Nothing calls a zone's client after its close().
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "port/file_drops.h"
#include "port/geometry.h"

namespace kestrovan::sim {

inline constexpr char kDestinationsDiffer[] =
    "every file promise receiver of a drag must be given the same destination";

struct IncomingItemSource {
  port::IncomingDragItem::Kind kind = port::IncomingDragItem::Kind::kFile;
  std::string path;  // kFile: the existing file
  std::string name;  // kPromise: the promised name (kFile: the path's last component)
  std::string contents;
  double delaySeconds = 0;
  std::optional<std::string> error;  // fail with this after the delay
  bool never = false;                // never answer
  std::vector<double> progress;      // fractions published during the delay
  std::string linkTo;                // make "<folder>/<name>" a link to this first
};

struct DropZoneInfo {
  uint64_t id = 0;
  int64_t windowNumber = 0;
  port::Rect rect;  // content points, top left
  bool open = false;
};

// What a window's web contents received of incoming drags.
struct WebContentsDragEvent {
  uint64_t dragId = 0;
  std::string type;  // "enter", "move", "exit" or "drop"
  port::Point point;
  std::vector<port::IncomingDragItem> items;
};

// Where an incoming drag is: "zone" (with its id), "webContents", or "nothing".
struct IncomingDragPlace {
  std::string target = "nothing";
  uint64_t zoneId = 0;
  int64_t windowNumber = 0;
};

// Starts a drag from another application; its id (from 1).
uint64_t beginIncomingDrag(std::vector<IncomingItemSource> items);
// Moves it to `point` (content points, top left) of the window; a point
// outside the window's content is over nothing. An empty answer's error
// says what was wrong (an unknown drag or window).
IncomingDragPlace moveIncomingDrag(uint64_t dragId, int64_t windowNumber, port::Point point,
                                   std::string& error);
// Drops it where it is; the place it went to.
IncomingDragPlace dropIncomingDrag(uint64_t dragId, std::string& error);
// Ends it without a drop (the user let go over nothing, or pressed Escape).
void cancelIncomingDrag(uint64_t dragId, std::string& error);

std::vector<DropZoneInfo> dropZones();
std::vector<WebContentsDragEvent> webContentsDragEvents(int64_t windowNumber);
// Receipts whose sources never answer, held for ever (until the reset).
size_t unansweredReceipts();

// Called by the desktop: a window closes; the desktop resets.
void dropZonesWindowWillClose(int64_t windowNumber);
void resetIncomingDrags();

}  // namespace kestrovan::sim
