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
//   (a path really inside the drop's folder, which every promised item of the
//   drop is received into, and no other item's), or failed with a message: the
//   source's error, "timed out after N ms ...", "... received outside the
//   drop's folder ...", "... where another item of the drop was received",
//   "the drop zone was closed ..."; progress (itemProgress) comes only before
//   an item is settled;
// - an item that failed leaves nothing behind: a path it was received at
//   outside the drop's folder is removed at once (the entry itself, never the
//   target of a link), and once the drop's last item has settled everything in
//   the drop's folder that is not a received item's path is removed (partial
//   files of any name, links not followed); a drop folder left empty is
//   removed;
// - an answer the source gives after its item was settled (a late answer, also
//   after the zone was closed or destroyed) changes nothing for the listener,
//   and what it delivered is removed (never a received item's file);
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

#include "drops/drop_folders.h"
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
class DropFolder;

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

// The one folder every promised item of a drop is received into, shared by
// the drop's receipts (which outlive the zone): the paths its items were
// received at, and how many are still pending. When the last has settled,
// everything else in the folder goes.
class DropFolder final {
 public:
  DropFolder(std::string path, size_t items) : path_(std::move(path)), pending_(items) {}
  const std::string& path() const { return path_; }
  // True when an item of the drop was received at `path` (the same entry or
  // the same real file).
  bool claimed(const std::string& path) const;
  void claim(const std::string& path);
  // One item settled; after the last, sweeps the folder.
  void itemSettled();
  // Sweeps the folder again if every item has settled (after a late answer).
  void sweepIfSettled();

 private:
  std::string path_;
  size_t pending_;
  std::vector<EntryNames> received_;
};

// The port's sink for one promised item. Held by the zone while pending and
// by the platform until it answered; it refers to the zone weakly.
class PromiseReceipt final : public port::PromiseReceiptSink,
                             public std::enable_shared_from_this<PromiseReceipt> {
 public:
  PromiseReceipt(std::weak_ptr<DropZone> zone, uint64_t dropId, size_t itemIndex, std::string name,
                 std::shared_ptr<DropFolder> folder);

  uint64_t dropId() const { return dropId_; }
  size_t itemIndex() const { return itemIndex_; }
  bool settled() const { return state_ != State::kPending; }

  // port::PromiseReceiptSink.
  void promiseReceived(const std::string& path) override;
  void promiseFailed(const std::string& message) override;
  void promiseProgress(double fraction) override;

  // Settles it as failed from the core's side (timeout, close); what the
  // source wrote goes with the drop's sweep. Tells the zone unless `tellZone`
  // is false.
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
  std::shared_ptr<DropFolder> folder_;
  State state_ = State::kPending;
};

}  // namespace kestrovan::drops
