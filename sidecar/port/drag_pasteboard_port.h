// DragPasteboardPort: the system's drag pasteboard, the place a drag source
// puts what is being dragged.
//
// `dragPasteboardChangeCount` is cheap and may be read on every event; the
// two content reads may ask another process and are meant only for when the
// change count shows a new drag. `filePromiseReadableTypes` asks no other
// process.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrovan::sidecar {

class DragPasteboardPort {
 public:
  // A number that changes whenever the pasteboard's contents are replaced.
  virtual std::int64_t dragPasteboardChangeCount() = 0;

  // Whether the pasteboard can be read as file URLs (file URLs only).
  virtual bool dragPasteboardCanReadFileURLs() = 0;

  // The type names the pasteboard offers, or none when it gives no list.
  virtual std::optional<std::vector<std::string>> dragPasteboardTypes() = 0;

  // The type names of file promises that the platform's own receiver of
  // promised files reads (on macOS `NSFilePromiseReceiver.readableDraggedTypes`),
  // or none where the platform has no such receiver. A drag offering one of
  // them, or one of `filePromisePasteboardTypes`, is a drag of files.
  virtual std::vector<std::string> filePromiseReadableTypes() = 0;

 protected:
  ~DragPasteboardPort() = default;
};

}  // namespace kestrovan::sidecar
