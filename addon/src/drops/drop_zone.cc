#include "drops/drop_zone.h"

#include <algorithm>
#include <utility>

#include "drops/drop_folders.h"
#include "port/main_queue.h"

namespace kestrovan::drops {

namespace {

constexpr char kWindowWentAwayMessage[] = "the drop zone was closed: its window went away";
constexpr char kUnnamedSourceFailure[] = "the source could not provide the file";

}  // namespace

// ---- DropZone

DropZone::DropZone(DropZoneOptions options, std::shared_ptr<DropZoneListener> listener)
    : options_(std::move(options)), listener_(std::move(listener)) {}

std::shared_ptr<DropZone> DropZone::open(const port::WindowPtr& window, port::Rect rect,
                                         DropZoneOptions options,
                                         std::shared_ptr<DropZoneListener> listener) {
  std::shared_ptr<DropZone> zone(new DropZone(std::move(options), std::move(listener)));
  zone->portZone_ = port::openFileDropZone(window, rect, zone);
  if (!zone->portZone_) {
    zone->closed_ = true;
    return nullptr;
  }
  return zone;
}

DropZone::~DropZone() {
  // Closed without a word to the listener: whoever destroys an open zone has
  // stopped listening.
  closed_ = true;
  if (portZone_) portZone_->close();
  auto pending = std::move(pending_);
  pending_.clear();
  for (auto& entry : pending) entry.second->fail(kZoneClosedMessage, false);
}

void DropZone::setRect(port::Rect rect) {
  if (closed_) return;
  portZone_->setRect(rect);
}

void DropZone::close() { closeWith(false); }

void DropZone::closeWith(bool windowWentAway) {
  if (closed_) return;
  auto self = shared_from_this();
  closed_ = true;
  portZone_->close();
  if (inside_) {
    inside_ = false;
    listener_->dragExited();
  }
  // Settlements held while a drop was being told come before the close's own.
  auto held = std::move(heldSettlements_);
  heldSettlements_.clear();
  reportingDrop_ = false;
  for (const auto& [key, outcome] : held) listener_->itemSettled(key.first, key.second, outcome);

  // Taken out first: the listener may call back while they are told.
  auto pending = std::move(pending_);
  pending_.clear();
  const std::string message = windowWentAway ? kWindowWentAwayMessage : kZoneClosedMessage;
  for (auto& [key, receipt] : pending) {
    receipt->fail(message, false);
    listener_->itemSettled(key.first, key.second, ItemOutcome{{}, message});
  }
  listener_->zoneClosed(windowWentAway);
}

void DropZone::fileDropZoneDragEntered() {
  if (closed_ || inside_) return;
  auto self = shared_from_this();
  inside_ = true;
  listener_->dragEntered();
}

void DropZone::fileDropZoneDragExited() {
  if (closed_ || !inside_) return;
  auto self = shared_from_this();
  inside_ = false;
  listener_->dragExited();
}

void DropZone::fileDropZoneWindowClosed() { closeWith(true); }

void DropZone::fileDropZoneDropped(port::Point point,
                                   const std::vector<port::IncomingDragItem>& items,
                                   port::IncomingPromises& promises) {
  if (closed_) return;
  auto self = shared_from_this();
  inside_ = false;  // the drop ends the enter

  DropReport report;
  report.dropId = nextDropId_++;
  report.point = point;
  const bool anyPromise = std::any_of(items.begin(), items.end(), [](const auto& item) {
    return item.kind == port::IncomingDragItem::Kind::kPromise;
  });
  MadeFolder dropFolder;
  if (anyPromise) {
    dropFolder = makeDropFolder(options_.destination);
    if (dropFolder.ok()) report.folder = dropFolder.path;
  }
  for (const auto& item : items) {
    const bool promise = item.kind == port::IncomingDragItem::Kind::kPromise;
    report.items.push_back({item.name, promise, promise ? std::string() : item.path});
  }

  // Every promised item is received into the drop's one folder.
  std::shared_ptr<DropFolder> sharedFolder;
  if (dropFolder.ok() && anyPromise) {
    const auto promised =
        static_cast<size_t>(std::count_if(items.begin(), items.end(), [](const auto& item) {
          return item.kind == port::IncomingDragItem::Kind::kPromise;
        }));
    sharedFolder = std::make_shared<DropFolder>(dropFolder.path, promised);
  }

  // Answers that come while the receipts start are told after the drop.
  reportingDrop_ = true;
  for (size_t index = 0; index < items.size(); ++index) {
    if (items[index].kind != port::IncomingDragItem::Kind::kPromise) continue;
    const ItemKey key{report.dropId, index};
    if (!sharedFolder) {
      heldSettlements_.push_back({key, ItemOutcome{{}, dropFolder.error}});
      continue;
    }
    auto receipt = std::make_shared<PromiseReceipt>(weak_from_this(), report.dropId, index,
                                                    items[index].name, sharedFolder);
    pending_[key] = receipt;
    const int64_t timeoutMs = options_.timeoutMs;
    std::weak_ptr<PromiseReceipt> weakReceipt = receipt;
    port::dispatchOnMainQueueAfter(static_cast<double>(timeoutMs) / 1000.0,
                                   [weakReceipt, timeoutMs] {
                                     auto timedOut = weakReceipt.lock();
                                     if (!timedOut || timedOut->settled()) return;
                                     timedOut->fail(timedOut->timeoutMessage(timeoutMs), true);
                                   });
    promises.receive(index, sharedFolder->path(), receipt);
  }
  reportingDrop_ = false;

  listener_->dropped(report);

  auto held = std::move(heldSettlements_);
  heldSettlements_.clear();
  for (const auto& [key, outcome] : held) listener_->itemSettled(key.first, key.second, outcome);
}

void DropZone::receiptSettled(const PromiseReceipt& receipt, const ItemOutcome& outcome) {
  const ItemKey key{receipt.dropId(), receipt.itemIndex()};
  if (pending_.erase(key) == 0) return;  // not this zone's any more
  auto self = shared_from_this();
  if (reportingDrop_) {
    heldSettlements_.push_back({key, outcome});
    return;
  }
  listener_->itemSettled(key.first, key.second, outcome);
}

void DropZone::receiptProgress(const PromiseReceipt& receipt, double fraction) {
  if (closed_ || reportingDrop_) return;
  if (pending_.count({receipt.dropId(), receipt.itemIndex()}) == 0) return;
  auto self = shared_from_this();
  listener_->itemProgress(receipt.dropId(), receipt.itemIndex(), fraction);
}

// ---- DropFolder

bool DropFolder::claimed(const std::string& path) const {
  const EntryNames names = entryNamesOf(path);
  return std::any_of(received_.begin(), received_.end(), [&](const EntryNames& other) {
    return (!names.real.empty() && names.real == other.real) ||
           (!names.entry.empty() && names.entry == other.entry);
  });
}

void DropFolder::claim(const std::string& path) { received_.push_back(entryNamesOf(path)); }

void DropFolder::itemSettled() {
  if (pending_ > 0) --pending_;
  sweepIfSettled();
}

void DropFolder::sweepIfSettled() {
  if (pending_ == 0) removeAllBut(path_, received_);
}

// ---- PromiseReceipt

PromiseReceipt::PromiseReceipt(std::weak_ptr<DropZone> zone, uint64_t dropId, size_t itemIndex,
                               std::string name, std::shared_ptr<DropFolder> folder)
    : zone_(std::move(zone)),
      dropId_(dropId),
      itemIndex_(itemIndex),
      name_(std::move(name)),
      folder_(std::move(folder)) {}

std::string PromiseReceipt::quotedName() const {
  return name_.empty() ? std::string("the promised file") : "\"" + name_ + "\"";
}

std::string PromiseReceipt::timeoutMessage(int64_t timeoutMs) const {
  return "timed out after " + std::to_string(timeoutMs) + " ms waiting for " + quotedName();
}

void PromiseReceipt::promiseReceived(const std::string& path) {
  if (state_ != State::kPending) {
    removeLateDelivery(path);
    return;
  }
  if (isReallyInside(path, folder_->path())) {
    if (folder_->claimed(path)) {
      // A receiver reporting a file another item of the drop was received at
      // (a legacy receiver's array, a source answering twice): that file is
      // the other item's, and stays.
      settle(ItemOutcome{{},
                         quotedName() + " was reported received at " + path +
                             ", where another item of the drop was received"},
             true);
      return;
    }
    settle(ItemOutcome{path, {}}, true);
    return;
  }
  if (!entryExists(path)) {
    settle(ItemOutcome{{}, quotedName() + " was reported received, but nothing is at " + path},
           true);
    return;
  }
  // A hostile name ("../x", an absolute name, a link leading out): whatever
  // lies at the reported path came from this drop and goes.
  removeEntry(path);
  settle(ItemOutcome{{},
                     quotedName() + " was received outside the drop's folder (at " + path +
                         ") and removed"},
         true);
}

void PromiseReceipt::promiseFailed(const std::string& message) {
  if (state_ != State::kPending) return;
  settle(ItemOutcome{{}, message.empty() ? std::string(kUnnamedSourceFailure) : message}, true);
}

void PromiseReceipt::promiseProgress(double fraction) {
  if (state_ != State::kPending) return;
  if (!(fraction >= 0)) fraction = 0;  // NaN too
  if (fraction > 1) fraction = 1;
  if (auto zone = zone_.lock()) zone->receiptProgress(*this, fraction);
}

void PromiseReceipt::fail(const std::string& message, bool tellZone) {
  if (state_ != State::kPending) return;
  settle(ItemOutcome{{}, message}, tellZone);
}

void PromiseReceipt::settle(const ItemOutcome& outcome, bool tellZone) {
  state_ = outcome.received() ? State::kReceived : State::kFailed;
  if (outcome.received()) folder_->claim(outcome.path);
  folder_->itemSettled();
  if (!tellZone) return;
  if (auto zone = zone_.lock()) zone->receiptSettled(*this, outcome);
}

void PromiseReceipt::removeLateDelivery(const std::string& path) {
  // Never a received item's file (this item's own, or another's reported
  // again); anything else the late answer names goes, inside the drop's folder
  // or not, and the rest of what the source wrote goes with the sweep.
  if (!folder_->claimed(path)) removeEntry(path);
  folder_->sweepIfSettled();
}

}  // namespace kestrovan::drops
