// Dragging sessions (NSDraggingSession), dragging items (NSDraggingItem) and
// their pasteboard writers: a file URL, or a file-promise provider of ours
// (KestrovanFilePromiseProvider, an NSFilePromiseProvider carrying one PromiseItem).
//
// Two sides meet here. The core implements DragSessionClient: what AppKit sends
// to a drag's source (NSDraggingSource) and to its providers' delegate
// (NSFilePromiseProviderDelegate). The platform makes a DragSessionPeer for
// each client: the object AppKit actually holds as the drag's source and as
// every provider's delegate, forwarding each message to the client.
//
// Ownership:
// - the core's session holds its peer, so the peer lives at least as long as
//   the session;
// - the peer refers to its client weakly: it never keeps the session alive,
//   and once the session is gone it answers through the client for a retired
//   session that the core gave it, which it holds strongly;
// - a begun dragging session holds its source peer strongly until the drag has
//   ended, as AppKit holds a dragging source;
// - a file-promise provider of ours holds its delegate peer strongly besides
//   AppKit's weak delegate property, and its PromiseItem strongly: a drop
//   target may ask for a write long after the drag, when the session has
//   retired, and the peer must still be there to answer it.
//
// Everything runs on the main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "port/event.h"
#include "port/geometry.h"
#include "port/image.h"
#include "port/object.h"
#include "port/view.h"

namespace kestrovan {
struct PromiseItem;
using PromiseItemPtr = std::shared_ptr<const PromiseItem>;
}  // namespace kestrovan

namespace kestrovan::port {

// NSDragOperation's raw values.
namespace drag_operation {
inline constexpr uint64_t kNone = 0;
inline constexpr uint64_t kCopy = 1;
inline constexpr uint64_t kLink = 2;
inline constexpr uint64_t kGeneric = 4;
inline constexpr uint64_t kPrivate = 8;
inline constexpr uint64_t kMove = 16;
inline constexpr uint64_t kDelete = 32;
}  // namespace drag_operation

// NSDraggingContext's raw values.
enum class DraggingContext : int64_t { kOutsideApplication = 0, kWithinApplication = 1 };

// A file-promise provider as AppKit hands it to the delegate: ours or another
// NSFilePromiseProvider.
class FilePromiseProvider {
 public:
  virtual ~FilePromiseProvider() = default;
  // True when the provider is a KestrovanFilePromiseProvider (ours).
  virtual bool isKestrovanProvider() const = 0;
  // Its kestrovanItem; none for a provider that carries no item or is not ours.
  virtual PromiseItemPtr kestrovanItem() const = 0;
  virtual std::string fileType() const = 0;
};

// An error handed to a drop target through a promise's completion handler
// (NSError with NSLocalizedDescriptionKey).
struct PromiseError {
  std::string domain;
  int64_t code = 0;
  std::string localizedDescription;
};

// AppKit's completion handler of one promised write: none for success. Call it once.
using PromiseCompletionHandler = std::function<void(const std::optional<PromiseError>& error)>;

// The queue a delegate wants its write requests on.
enum class OperationQueue { kMain };  // NSOperationQueue mainQueue

// What the platform sends to the core's drag session.
class DragSessionClient {
 public:
  virtual ~DragSessionClient() = default;

  // NSFilePromiseProviderDelegate.
  virtual std::string filePromiseProviderFileNameForType(const FilePromiseProvider& provider,
                                                         const std::string& fileType) = 0;
  virtual OperationQueue operationQueueForFilePromiseProvider(
      const FilePromiseProvider& provider) = 0;
  // `destinationPath` is the file-system path of the destination URL.
  virtual void filePromiseProviderWritePromiseToURL(const FilePromiseProvider& provider,
                                                    const std::string& destinationPath,
                                                    PromiseCompletionHandler completionHandler) = 0;

  // NSDraggingSource.
  virtual uint64_t draggingSessionSourceOperationMaskForDraggingContext(
      DraggingContext context) = 0;
  virtual bool ignoreModifierKeysForDraggingSession() = 0;
  // The end point is in screen coordinates; the operation is NSDragOperation's raw value.
  virtual void draggingSessionEndedAtPoint(Point screenPoint, uint64_t operation) = 0;
};

// The platform object standing for one core session (see above).
class DragSessionPeer : public PlatformObject {};
using DragSessionPeerPtr = std::shared_ptr<DragSessionPeer>;

// `client` is the session; `retired` answers for it once it has gone.
DragSessionPeerPtr makeDragSessionPeer(std::weak_ptr<DragSessionClient> client,
                                       std::shared_ptr<DragSessionClient> retired);

// An object that can be put on the drag pasteboard (NSPasteboardWriting).
class PasteboardWriter : public PlatformObject {};
using PasteboardWriterPtr = std::shared_ptr<PasteboardWriter>;

// URL(fileURLWithPath:) for an existing local file.
PasteboardWriterPtr makeFileURLWriter(const std::string& path);
// A KestrovanFilePromiseProvider made with initWithFileType:delegate:, its kestrovanItem
// then set to `item`; it holds `delegate` strongly too.
PasteboardWriterPtr makeFilePromiseProvider(const std::string& fileType,
                                            const DragSessionPeerPtr& delegate,
                                            PromiseItemPtr item);

class DraggingItem : public PlatformObject {
 public:
  // setDraggingFrame:contents:, the frame in the source view's coordinates.
  // `contents` may be none.
  virtual void setDraggingFrame(Rect frame, ImagePtr contents) = 0;
};
using DraggingItemPtr = std::shared_ptr<DraggingItem>;

// NSDraggingItem initWithPasteboardWriter:.
DraggingItemPtr makeDraggingItem(const PasteboardWriterPtr& writer);

class DraggingSession : public PlatformObject {
 public:
  virtual void setAnimatesToStartingPositionsOnCancelOrFail(bool animates) = 0;
};
using DraggingSessionPtr = std::shared_ptr<DraggingSession>;

// beginDraggingSessionWithItems:event:source: on `view`. The drag runs later
// in the event loop; the source hears of its end through
// draggingSessionEndedAtPoint. None when the platform refuses.
DraggingSessionPtr beginDraggingSession(const ViewPtr& view,
                                        const std::vector<DraggingItemPtr>& items,
                                        const EventPtr& event, const DragSessionPeerPtr& source);

}  // namespace kestrovan::port
