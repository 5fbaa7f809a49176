// A drop zone: what the core makes of the drags the platform reports over one
// rectangle of a window (port/file_drops.h), told to a listener (the bridge,
// which tells JavaScript).
//
// Use it to receive drops of existing and promised files into a destination
// folder with every item answered exactly once. It knows neither Node-API nor
// the platform: the port's zone is made through port::openFileDropZone, the
// timeouts run on the main queue (port/main_queue.h), the folders are plain
// files (drops/drop_folders.h).
//
// What it guarantees to the listener, all on the main thread:
// - dragEntered and dragExited pair up: an exit only after an enter, at most
//   one enter before it; a drop ends the enter as an exit would; closing while
//   a drag is inside tells an exit first;
// - each drop is told once (dropped), before anything about its items; each
//   promised item of it is then settled exactly once (itemSettled): received
//   (a path really inside its own folder within the drop's folder), or failed
//   with a message: the source's error, "timed out after N ms ...", "...
//   received outside the drop's folder ...", "the drop zone was closed ...";
//   progress (itemProgress) comes only before an item is settled;
// - an item that failed leaves nothing behind: its folder is removed with all
//   the source wrote into it, and a path it was received at outside the drop's
//   folder is removed too (the entry itself, never the target of a link); a
//   drop folder left empty is removed;
// - an answer the source gives after its item was settled (a late answer, also
//   after the zone was closed or destroyed) changes nothing for the listener,
//   and what it delivered is removed (never the item's own received file);
// - close() settles every pending item before it returns, then tells
//   zoneClosed; so does the window going away; nothing is told after that.
//
// Ownership: whoever opened the zone holds it (the bridge's registry); the
// zone holds its listener and its port zone strongly; the port zone refers to
// it weakly, and so do the timeouts and the receipts the platform holds.
// Destroying an open zone closes it without telling the listener anything.
// The listener may call setRect and close re-entrantly from any of its calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "port/file_drops.h"
#include "port/geometry.h"
#include "port/window.h"

namespace kestrovan::drops {

inline constexpr char kZoneClosedMessage[] = "the drop zone was closed";

// One item of a drop as the listener hears of it.
struct DropItemReport {
  std::string name;
  bool promise = false;
  std::string path;  // an existing file's own path; empty for a promise
};

struct DropReport {
  uint64_t dropId = 0;  // from 1, per zone
  port::Point point;    // content points, top left
  std::string folder;   // the drop's fresh folder; empty when it carries no promise
  std::vector<DropItemReport> items;
};

// How one promised item was settled: a path, or an error message.
struct ItemOutcome {
  std::string path;
  std::string error;  // non-empty: failed
  bool received() const { return error.empty(); }
};

class DropZoneListener {
 public:
  virtual ~DropZoneListener() = default;
  virtual void dragEntered() = 0;
  virtual void dragExited() = 0;
  virtual void dropped(const DropReport& drop) = 0;
  virtual void itemSettled(uint64_t dropId, size_t itemIndex, const ItemOutcome& outcome) = 0;
  virtual void itemProgress(uint64_t dropId, size_t itemIndex, double fraction) = 0;
  // The zone closed (close(), or its window went away); told once, last.
  virtual void zoneClosed(bool windowWentAway) = 0;
};

struct DropZoneOptions {
  std::string destination;  // an absolute folder
  int64_t timeoutMs = 120000;
};

class PromiseReceipt;

class DropZone final : public port::FileDropZoneClient,
                       public std::enable_shared_from_this<DropZone> {
 public:
  // Opens the port's zone over `rect` of `window`; none when the platform
  // gives none (no content view).
  static std::shared_ptr<DropZone> open(const port::WindowPtr& window, port::Rect rect,
                                        DropZoneOptions options,
                                        std::shared_ptr<DropZoneListener> listener);

  ~DropZone() override;
  DropZone(const DropZone&) = delete;
  DropZone& operator=(const DropZone&) = delete;

  void setRect(port::Rect rect);
  // Idempotent.
  void close();
  bool closed() const { return closed_; }
  // Promised items not settled yet.
  size_t pendingItems() const { return pending_.size(); }

  // port::FileDropZoneClient.
  void fileDropZoneDragEntered() override;
  void fileDropZoneDragExited() override;
  void fileDropZoneDropped(port::Point point, const std::vector<port::IncomingDragItem>& items,
                           port::IncomingPromises& promises) override;
  void fileDropZoneWindowClosed() override;

 private:
  friend class PromiseReceipt;
  DropZone(DropZoneOptions options, std::shared_ptr<DropZoneListener> listener);

  using ItemKey = std::pair<uint64_t, size_t>;  // drop id, item index

  void closeWith(bool windowWentAway);
  // From a receipt: it settled, or it reports progress.
  void receiptSettled(const PromiseReceipt& receipt, const ItemOutcome& outcome);
  void receiptProgress(const PromiseReceipt& receipt, double fraction);
  void tellSettled(uint64_t dropId, size_t itemIndex, const ItemOutcome& outcome);

  DropZoneOptions options_;
  std::shared_ptr<DropZoneListener> listener_;
  port::FileDropZonePtr portZone_;
  bool closed_ = false;
  bool inside_ = false;
  uint64_t nextDropId_ = 1;
  std::map<ItemKey, std::shared_ptr<PromiseReceipt>> pending_;
  // While a drop is being told: what its items said meanwhile, told after it.
  bool reportingDrop_ = false;
  std::vector<std::pair<ItemKey, ItemOutcome>> heldSettlements_;
};

// The port's sink for one promised item. Held by the zone while pending and
// by the platform until it answered; it refers to the zone weakly.
class PromiseReceipt final : public port::PromiseReceiptSink,
                             public std::enable_shared_from_this<PromiseReceipt> {
 public:
  PromiseReceipt(std::weak_ptr<DropZone> zone, uint64_t dropId, size_t itemIndex, std::string name,
                 std::string itemFolder, std::string dropFolder);

  uint64_t dropId() const { return dropId_; }
  size_t itemIndex() const { return itemIndex_; }
  bool settled() const { return state_ != State::kPending; }

  // port::PromiseReceiptSink.
  void promiseReceived(const std::string& path) override;
  void promiseFailed(const std::string& message) override;
  void promiseProgress(double fraction) override;

  // Settles it as failed from the core's side (timeout, close); removes what
  // the source wrote so far. Tells the zone unless `tellZone` is false.
  void fail(const std::string& message, bool tellZone);
  // The message for a timeout after `timeoutMs`.
  std::string timeoutMessage(int64_t timeoutMs) const;

 private:
  enum class State { kPending, kReceived, kFailed };
  // "\"name\"", or "the promised file" when the source named none.
  std::string quotedName() const;
  void settle(const ItemOutcome& outcome, bool tellZone);
  void removeLateDelivery(const std::string& path);

  std::weak_ptr<DropZone> zone_;
  uint64_t dropId_;
  size_t itemIndex_;
  std::string name_;
  std::string itemFolder_;
  std::string dropFolder_;
  State state_ = State::kPending;
  std::string receivedPath_;
};

}  // namespace kestrovan::drops
