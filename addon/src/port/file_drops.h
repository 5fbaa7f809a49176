// Drop zones: drags from other applications received into a window of ours.
//
// A drop zone is a rectangle over a window's content, above its web contents,
// that accepts drags carrying files: existing files (file URLs, as the Finder
// gives them) and promised files (NSFilePromiseReceiver, as Mail, Photos and
// Safari give them). The page underneath keeps every mouse click, and a drag
// outside the rectangle reaches the web contents as if the zone were not there.
//
// Use this to receive files, promised or not, into a folder of the
// application's choosing. Do not use it to accept text, URLs or other
// pasteboard data (the zone registers for files only), nor for drags that
// start in the application itself (those are the web contents' own).
//
// Two sides meet here, as in port/dragging.h. The core implements
// FileDropZoneClient (what happens over the zone) and PromiseReceiptSink (what
// becomes of one promised file). The platform implements FileDropZone (the
// view over the rectangle) and IncomingPromises (the promises of the drop being
// performed).
//
// Coordinates: every rectangle and point here is in the window content's
// points with the origin at the top left and y growing down: the page's CSS
// pixels at zoom 1. (Unlike port/geometry.h's AppKit convention; the backend
// converts, and keeps the zone at its distance from the content's top left
// when the window is resized.)
//
// Ownership and lifetimes:
// - the core holds its FileDropZone strongly until it closes it; closing
//   removes the view at once and is idempotent;
// - the zone refers to its client weakly: it never keeps the core's zone
//   alive, and it calls nothing once the client has gone or the zone is closed;
// - IncomingPromises is lent to the client for the duration of one
//   fileDropZoneDropped call only (AppKit's dragging pasteboard is valid during
//   performDragOperation: alone); the client starts every receipt it wants
//   inside that call and never keeps the reference;
// - the platform holds each PromiseReceiptSink strongly until it has given that
//   sink its one answer, and may hold it for as long as the source keeps the
//   promise open, possibly forever (a source may never answer). So a sink holds
//   the core's drop weakly: a late answer finds nothing waiting and the core
//   removes what was received.
//
// Threads: everything the core sees runs on the main thread. The platform
// receives promises on a queue of its own but calls the sinks on the main queue,
// never re-entrantly from inside a call the core made into it (a receipt
// started in fileDropZoneDropped answers in a later turn of the main thread at
// the earliest; so does windowClosed). enter, exit and drop come from the event
// loop's dragging callbacks, never from inside a call the core made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "port/geometry.h"
#include "port/object.h"
#include "port/window.h"

namespace kestrovan::port {

// One item of a drop, in the dragging pasteboard's order.
struct IncomingDragItem {
  enum class Kind {
    kFile,     // an existing file (a file URL); `path` is its absolute path
    kPromise,  // a promised file (one NSFilePromiseReceiver); `path` is empty
  };
  Kind kind = Kind::kFile;
  // kFile: the path's last component. kPromise: the first file name the source
  // promises (NSFilePromiseReceiver fileNames), untrusted and possibly empty or
  // hostile ("../x", "/abs", "a/b"): the core never builds a path from it.
  std::string name;
  std::string path;
};

// What becomes of one promised file: exactly one of received or failed, and
// any number of progress calls before it. Implemented by the core; the
// platform calls it on the main thread (see above) and calls nothing after
// the answer.
class PromiseReceiptSink {
 public:
  virtual ~PromiseReceiptSink() = default;
  // The reader's file URL as a file-system path, as the platform got it
  // (untrusted: the core checks that it lies inside the drop's folder and is
  // no other item's file).
  virtual void promiseReceived(const std::string& path) = 0;
  // The reader's error (NSError localizedDescription), or the platform's own
  // reason for not receiving; never empty.
  virtual void promiseFailed(const std::string& message) = 0;
  // Where the source publishes progress for the file: a fraction in [0, 1].
  virtual void promiseProgress(double fraction) = 0;
};
using PromiseReceiptSinkPtr = std::shared_ptr<PromiseReceiptSink>;

// The promises of the drop being performed, lent to fileDropZoneDropped.
class IncomingPromises {
 public:
  virtual ~IncomingPromises() = default;
  // Starts receiving promise item `itemIndex` (an index into the drop's items
  // whose kind is kPromise) into `folder`, the existing folder the core made
  // for the drop (receivePromisedFilesAtDestination:options:operationQueue:
  // reader: on a queue of the platform's own). Every call of one drop names
  // the same folder: AppKit wants the same destination for every receiver of
  // a drag, so the sources of several items write side by side there, under
  // names of their own. The sink hears the answer. At most once per item; an
  // index that is not a promise is answered with promiseFailed in a later
  // turn. When a receiver promises several files, the first the reader
  // reports is the item's answer; the rest are reported to the same sink
  // after its answer and the core removes them. Progress the platform
  // follows on the folder goes to the sink of the item whose file it is.
  virtual void receive(size_t itemIndex, const std::string& folder, PromiseReceiptSinkPtr sink) = 0;
};

// What the platform tells the core about one zone.
class FileDropZoneClient {
 public:
  virtual ~FileDropZoneClient() = default;
  // A drag carrying files or promises came over the zone (draggingEntered:).
  virtual void fileDropZoneDragEntered() = 0;
  // It left the zone, or the drag ended over it without a drop
  // (draggingExited:, draggingEnded: without performDragOperation:).
  virtual void fileDropZoneDragExited() = 0;
  // It was dropped on the zone at `point` (performDragOperation:), with its
  // items. `promises` is valid only during this call (see above). The
  // platform answers the drop as accepted whatever the core does.
  virtual void fileDropZoneDropped(Point point, const std::vector<IncomingDragItem>& items,
                                   IncomingPromises& promises) = 0;
  // The zone's window went away (NSWindowWillCloseNotification): the view is
  // gone and nothing more comes from this zone. Called once, on the main queue.
  virtual void fileDropZoneWindowClosed() = 0;
};

// The platform's view over the rectangle (an NSView above the web contents).
class FileDropZone : public PlatformObject {
 public:
  // Moves and resizes the zone; an empty rectangle takes no drags.
  virtual void setRect(Rect rect) = 0;
  // Removes the view and stops observing the window. Idempotent; no client
  // call comes after it, though receipts already started still answer their
  // sinks.
  virtual void close() = 0;
};
using FileDropZonePtr = std::shared_ptr<FileDropZone>;

// Opens a zone over `rect` of `window`'s content view, registered for
// promised files and file URLs. None when the window has no content view.
FileDropZonePtr openFileDropZone(const WindowPtr& window, Rect rect,
                                 std::weak_ptr<FileDropZoneClient> client);

}  // namespace kestrovan::port
