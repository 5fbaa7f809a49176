#include "fakes/fake_dragging.h"

#include <utility>

namespace kestrovan {

namespace {

class FakeDragSessionPeer final : public port::DragSessionPeer {
 public:
  FakeDragSessionPeer(std::weak_ptr<port::DragSessionClient> client,
                      std::shared_ptr<port::DragSessionClient> retired)
      : client_(std::move(client)), retired_(std::move(retired)) {}

  const void* identity() const override { return this; }

  std::shared_ptr<port::DragSessionClient> client() const {
    std::shared_ptr<port::DragSessionClient> live = client_.lock();
    return live ? live : retired_;
  }

 private:
  std::weak_ptr<port::DragSessionClient> client_;
  std::shared_ptr<port::DragSessionClient> retired_;
};

}  // namespace

namespace fake {

std::shared_ptr<port::DragSessionClient> clientOf(const port::DragSessionPeerPtr& peer) {
  auto* fakePeer = dynamic_cast<const FakeDragSessionPeer*>(peer.get());
  return fakePeer ? fakePeer->client() : nullptr;
}

FilePromiseProvider FilePromiseProvider::carrying(PromiseItemPtr item) {
  return FilePromiseProvider(true, std::move(item));
}

FilePromiseProvider FilePromiseProvider::foreign() { return FilePromiseProvider(false, nullptr); }

std::string FilePromiseProvider::fileType() const {
  return item_ ? item_->fileType : "public.data";
}

PromiseItemPtr promisedFile(const std::string& promiseId, const std::string& suggestedName) {
  auto item = std::make_shared<PromiseItem>();
  item->promiseId = promiseId;
  item->kind = "file";
  item->suggestedName = suggestedName;
  item->fileType = "public.plain-text";
  return item;
}

}  // namespace fake

namespace port {

DragSessionPeerPtr makeDragSessionPeer(std::weak_ptr<DragSessionClient> client,
                                       std::shared_ptr<DragSessionClient> retired) {
  return std::make_shared<FakeDragSessionPeer>(std::move(client), std::move(retired));
}

}  // namespace port

}  // namespace kestrovan
