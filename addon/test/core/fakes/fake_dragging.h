// Stand-ins for the platform's side of a drag (port/dragging.h): the peer it
// makes for a drag session, and file-promise providers as AppKit hands them to
// the delegate. A test reaches a session the way the platform does, through
// its peer, so a peer whose session has gone answers through the client for
// a retired session.
#pragma once

#include <memory>
#include <string>

#include "drag/promise_item.h"
#include "port/dragging.h"

namespace kestrovan::fake {

// The client the platform reaches through `peer` now: the session while it
// lives, else the retired session's client.
std::shared_ptr<port::DragSessionClient> clientOf(const port::DragSessionPeerPtr& peer);

// A provider carrying `item` (ours), or a provider that is not ours.
class FilePromiseProvider final : public port::FilePromiseProvider {
 public:
  static FilePromiseProvider carrying(PromiseItemPtr item);
  static FilePromiseProvider foreign();

  bool isKestrovanProvider() const override { return ours_; }
  PromiseItemPtr kestrovanItem() const override { return item_; }
  std::string fileType() const override;

 private:
  FilePromiseProvider(bool ours, PromiseItemPtr item) : ours_(ours), item_(std::move(item)) {}

  bool ours_;
  PromiseItemPtr item_;
};

// A promised file item: kind "file", its file type plain text.
PromiseItemPtr promisedFile(const std::string& promiseId, const std::string& suggestedName);

}  // namespace kestrovan::fake
