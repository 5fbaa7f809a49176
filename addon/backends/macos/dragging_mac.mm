// Dragging on AppKit: KestrovanFilePromiseProvider, the peer AppKit holds as
// a drag's source and its providers' delegate, dragging items and dragging
// sessions. It translates; the core's session decides every answer.

#import <AppKit/AppKit.h>
#import <Foundation/Foundation.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "exceptions_mac.h"
#include "image_mac.h"
#include "objects_mac.h"
#include "port/dragging.h"

using kestrovan::PromiseItemPtr;
using kestrovan::port::DragSessionClient;

namespace {

NSString* toNSString(const std::string& text) {
  NSString* string = [[NSString alloc] initWithBytes:text.data()
                                              length:text.size()
                                            encoding:NSUTF8StringEncoding];
  return string ?: @"";
}

std::string fromNSString(NSString* string) {
  const char* utf8 = string.UTF8String;
  return utf8 ? std::string(utf8) : std::string();
}

// The core runs on the main thread only. A delegate message that arrives on
// another thread (the providers name the main queue, so none should) is sent
// on to the main queue before it reaches the core: a message that answers
// waits for its answer there, one that answers nothing goes on by itself.
template <typename Answer>
Answer answerOnMainThread(Answer (^body)(void)) {
  if (NSThread.isMainThread) return body();
  __block Answer answer{};
  dispatch_sync(dispatch_get_main_queue(), ^{
    answer = body();
  });
  return answer;
}

void runOnMainThread(void (^body)(void)) {
  if (NSThread.isMainThread) {
    body();
    return;
  }
  dispatch_async(dispatch_get_main_queue(), body);
}

}  // namespace

// Every Objective-C class here carries the Kestrovan prefix: classes share one
// namespace in the host process.

// The item a provider carries, boxed so an Objective-C property can hold it.
@interface KestrovanPromiseItemBox : NSObject
- (instancetype)initWithItem:(PromiseItemPtr)item NS_DESIGNATED_INITIALIZER;
- (instancetype)init NS_UNAVAILABLE;
+ (instancetype)new NS_UNAVAILABLE;
- (PromiseItemPtr)item;
@end

@implementation KestrovanPromiseItemBox {
  PromiseItemPtr _item;
}

- (instancetype)initWithItem:(PromiseItemPtr)item {
  self = [super init];
  if (self) _item = std::move(item);
  return self;
}

- (PromiseItemPtr)item {
  return _item;
}

// Its ivar holds C++ state: key-value coding must not reach it by name.
+ (BOOL)accessInstanceVariablesDirectly {
  return NO;
}

@end

@class KestrovanDragSessionPeer;

// A file-promise provider that carries the item it promises. Its delegate
// property is weak; kestrovanPeer holds the same peer strongly, so a drop
// target that asks long after the drag, when the session has retired, still
// gets an answer.
@interface KestrovanFilePromiseProvider : NSFilePromiseProvider
@property(nonatomic, strong, nullable) KestrovanPromiseItemBox* kestrovanItem;
@property(nonatomic, strong, nullable) KestrovanDragSessionPeer* kestrovanPeer;
@end

@implementation KestrovanFilePromiseProvider

// NSFilePromiseProvider's designated initializer; -initWithFileType:delegate:
// reaches it.
- (instancetype)init {
  self = [super init];
  if (self) {
    _kestrovanItem = nil;
    _kestrovanPeer = nil;
  }
  return self;
}

@end

// What AppKit holds as a drag's source and as its providers' delegate. It
// refers to the core's session weakly (the session owns this peer) and answers
// through the client for a retired session once the session has gone.
@interface KestrovanDragSessionPeer : NSObject <NSDraggingSource, NSFilePromiseProviderDelegate>
// Made only with its clients: clientOf() answers through `retired` once the
// session has gone.
- (instancetype)initWithClient:(std::weak_ptr<DragSessionClient>)client
                       retired:(std::shared_ptr<DragSessionClient>)retired
    NS_DESIGNATED_INITIALIZER;
- (instancetype)init NS_UNAVAILABLE;
+ (instancetype)new NS_UNAVAILABLE;
@end

namespace {

// A provider as the core sees it.
class MacFilePromiseProvider final : public kestrovan::port::FilePromiseProvider {
 public:
  explicit MacFilePromiseProvider(NSFilePromiseProvider* provider) : provider_(provider) {}
  bool isKestrovanProvider() const override {
    return [provider_ isKindOfClass:[KestrovanFilePromiseProvider class]];
  }
  PromiseItemPtr kestrovanItem() const override {
    if (!isKestrovanProvider()) return nullptr;
    KestrovanPromiseItemBox* box =
        static_cast<KestrovanFilePromiseProvider*>(provider_).kestrovanItem;
    return box ? [box item] : nullptr;
  }
  std::string fileType() const override { return fromNSString(provider_.fileType); }

 private:
  NSFilePromiseProvider* __strong provider_;
};

}  // namespace

@implementation KestrovanDragSessionPeer {
  std::weak_ptr<DragSessionClient> _client;
  std::shared_ptr<DragSessionClient> _retired;
}

- (instancetype)initWithClient:(std::weak_ptr<DragSessionClient>)client
                       retired:(std::shared_ptr<DragSessionClient>)retired {
  self = [super init];
  if (self) {
    _client = std::move(client);
    _retired = std::move(retired);
  }
  return self;
}

// Its ivars hold C++ state: key-value coding (valueForKey:@"_client", say, from
// whatever AppKit or another library asks of a drag's source) must not reach
// them by name.
+ (BOOL)accessInstanceVariablesDirectly {
  return NO;
}

// The client of `peer`, held for the call: its session, or the client for the
// retired session once it has gone. A C++ function rather than a method: no
// generic selector such as -client on an object AppKit holds and may query by
// key-value coding.
static std::shared_ptr<DragSessionClient> clientOf(KestrovanDragSessionPeer* peer) {
  if (auto client = peer->_client.lock()) return client;
  return peer->_retired;
}

- (NSString*)filePromiseProvider:(NSFilePromiseProvider*)filePromiseProvider
                 fileNameForType:(NSString*)fileType {
  return answerOnMainThread<NSString*>(^NSString*(void) {
    MacFilePromiseProvider provider(filePromiseProvider);
    return toNSString(
        clientOf(self)->filePromiseProviderFileNameForType(provider, fromNSString(fileType)));
  });
}

- (NSOperationQueue*)operationQueueForFilePromiseProvider:
    (NSFilePromiseProvider*)filePromiseProvider {
  return answerOnMainThread<NSOperationQueue*>(^NSOperationQueue*(void) {
    MacFilePromiseProvider provider(filePromiseProvider);
    switch (clientOf(self)->operationQueueForFilePromiseProvider(provider)) {
      case kestrovan::port::OperationQueue::kMain:
        return NSOperationQueue.mainQueue;
    }
    return NSOperationQueue.mainQueue;
  });
}

- (void)filePromiseProvider:(NSFilePromiseProvider*)filePromiseProvider
          writePromiseToURL:(NSURL*)url
          completionHandler:(void (^)(NSError* _Nullable errorOrNil))completionHandler {
  void (^handler)(NSError* _Nullable) = [completionHandler copy];
  runOnMainThread(^{
    MacFilePromiseProvider provider(filePromiseProvider);
    // AppKit's handler runs inside @try too: it may be called from inside an
    // export (completePromiseWrite), with JavaScript frames below.
    kestrovan::port::PromiseCompletionHandler completion =
        [handler](const std::optional<kestrovan::port::PromiseError>& error) {
          if (!handler) return;
          NSError* answer = nil;
          if (error) {
            answer = [NSError
                errorWithDomain:toNSString(error->domain)
                           code:static_cast<NSInteger>(error->code)
                       userInfo:@{
                         NSLocalizedDescriptionKey : toNSString(error->localizedDescription)
                       }];
          }
          kestrovan::mac::catchingExceptions([&] { handler(answer); });
        };
    clientOf(self)->filePromiseProviderWritePromiseToURL(provider, fromNSString(url.path),
                                                         std::move(completion));
  });
}

- (NSDragOperation)draggingSession:(NSDraggingSession*)session
    sourceOperationMaskForDraggingContext:(NSDraggingContext)context {
  return answerOnMainThread<NSDragOperation>(^NSDragOperation(void) {
    auto portContext = static_cast<kestrovan::port::DraggingContext>(static_cast<int64_t>(context));
    return static_cast<NSDragOperation>(
        clientOf(self)->draggingSessionSourceOperationMaskForDraggingContext(portContext));
  });
}

- (BOOL)ignoreModifierKeysForDraggingSession:(NSDraggingSession*)session {
  return answerOnMainThread<BOOL>(^BOOL(void) {
    return clientOf(self)->ignoreModifierKeysForDraggingSession() ? YES : NO;
  });
}

- (void)draggingSession:(NSDraggingSession*)session
           endedAtPoint:(NSPoint)screenPoint
              operation:(NSDragOperation)operation {
  runOnMainThread(^{
    clientOf(self)->draggingSessionEndedAtPoint(kestrovan::mac::fromNSPoint(screenPoint),
                                                static_cast<uint64_t>(operation));
  });
}

@end

namespace kestrovan::port {

namespace {

class MacDragSessionPeer final : public DragSessionPeer {
 public:
  explicit MacDragSessionPeer(KestrovanDragSessionPeer* peer) : peer_(peer) {}
  const void* identity() const override { return (__bridge const void*)peer_; }
  KestrovanDragSessionPeer* object() const { return peer_; }

 private:
  KestrovanDragSessionPeer* __strong peer_;
};

class MacPasteboardWriter final : public PasteboardWriter {
 public:
  explicit MacPasteboardWriter(id<NSPasteboardWriting> writer) : writer_(writer) {}
  const void* identity() const override { return (__bridge const void*)writer_; }
  id<NSPasteboardWriting> object() const { return writer_; }

 private:
  id<NSPasteboardWriting> __strong writer_;
};

NSImage* imageContents(const ImagePtr& image) { return mac::unwrapImage(image.get()); }

class MacDraggingItem final : public DraggingItem {
 public:
  explicit MacDraggingItem(NSDraggingItem* item) : item_(item) {}
  const void* identity() const override { return (__bridge const void*)item_; }
  void setDraggingFrame(Rect frame, ImagePtr contents) override {
    mac::catchingExceptions(
        [&] { [item_ setDraggingFrame:mac::toNSRect(frame) contents:imageContents(contents)]; });
  }
  NSDraggingItem* object() const { return item_; }

 private:
  NSDraggingItem* __strong item_;
};

class MacDraggingSession final : public DraggingSession {
 public:
  explicit MacDraggingSession(NSDraggingSession* session) : session_(session) {}
  const void* identity() const override { return (__bridge const void*)session_; }
  void setAnimatesToStartingPositionsOnCancelOrFail(bool animates) override {
    mac::catchingExceptions(
        [&] { session_.animatesToStartingPositionsOnCancelOrFail = animates ? YES : NO; });
  }

 private:
  NSDraggingSession* __strong session_;
};

}  // namespace

DragSessionPeerPtr makeDragSessionPeer(std::weak_ptr<DragSessionClient> client,
                                       std::shared_ptr<DragSessionClient> retired) {
  KestrovanDragSessionPeer* peer =
      [[KestrovanDragSessionPeer alloc] initWithClient:std::move(client)
                                               retired:std::move(retired)];
  return std::make_shared<MacDragSessionPeer>(peer);
}

PasteboardWriterPtr makeFileURLWriter(const std::string& path) {
  NSURL* url = mac::catchingExceptions<NSURL*>(
      nil, [&] { return [NSURL fileURLWithPath:toNSString(path)]; });
  return url ? std::make_shared<MacPasteboardWriter>(url) : nullptr;
}

PasteboardWriterPtr makeFilePromiseProvider(const std::string& fileType,
                                            const DragSessionPeerPtr& delegate,
                                            PromiseItemPtr item) {
  auto* peer = dynamic_cast<const MacDragSessionPeer*>(delegate.get());
  // It raises for a type that conforms to neither public.data nor public.directory.
  KestrovanFilePromiseProvider* provider =
      mac::catchingExceptions<KestrovanFilePromiseProvider*>(nil, [&] {
        return [[KestrovanFilePromiseProvider alloc] initWithFileType:toNSString(fileType)
                                                             delegate:peer ? peer->object() : nil];
      });
  if (provider == nil) return nullptr;
  provider.kestrovanItem = [[KestrovanPromiseItemBox alloc] initWithItem:std::move(item)];
  provider.kestrovanPeer = peer ? peer->object() : nil;
  return std::make_shared<MacPasteboardWriter>(provider);
}

DraggingItemPtr makeDraggingItem(const PasteboardWriterPtr& writer) {
  auto* macWriter = dynamic_cast<const MacPasteboardWriter*>(writer.get());
  if (macWriter == nullptr) return nullptr;
  NSDraggingItem* item = mac::catchingExceptions<NSDraggingItem*>(
      nil, [&] { return [[NSDraggingItem alloc] initWithPasteboardWriter:macWriter->object()]; });
  return item ? std::make_shared<MacDraggingItem>(item) : nullptr;
}

DraggingSessionPtr beginDraggingSession(const ViewPtr& view,
                                        const std::vector<DraggingItemPtr>& items,
                                        const EventPtr& event, const DragSessionPeerPtr& source) {
  NSView* nsView = mac::unwrapView(view.get());
  NSEvent* nsEvent = mac::unwrapEvent(event.get());
  auto* peer = dynamic_cast<const MacDragSessionPeer*>(source.get());
  if (nsView == nil || nsEvent == nil || peer == nullptr) return nullptr;
  NSMutableArray<NSDraggingItem*>* draggingItems = [NSMutableArray arrayWithCapacity:items.size()];
  for (const auto& item : items) {
    auto* macItem = dynamic_cast<const MacDraggingItem*>(item.get());
    if (macItem != nullptr) [draggingItems addObject:macItem->object()];
  }
  NSDraggingSession* session = mac::catchingExceptions<NSDraggingSession*>(nil, [&] {
    return [nsView beginDraggingSessionWithItems:draggingItems event:nsEvent source:peer->object()];
  });
  return session ? std::make_shared<MacDraggingSession>(session) : nullptr;
}

}  // namespace kestrovan::port
