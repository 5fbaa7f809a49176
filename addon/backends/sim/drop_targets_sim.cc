// Drop targets on the simulated desktop.

#include "drop_targets_sim.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "desktop_sim.h"
#include "drag/promise_item.h"
#include "dragging_sim.h"

namespace kestrovan::sim {

namespace fs = std::filesystem;

namespace {

std::vector<DropOutcomePtr>& outcomes() {
  static auto* list = new std::vector<DropOutcomePtr>();
  return *list;
}

uint64_t nextOutcomeId = 1;
uint64_t nextDropId = 1;

DropOutcomePtr newOutcome(uint64_t dropId, std::string target, std::string source) {
  auto outcome = std::make_shared<DropOutcome>();
  outcome->id = nextOutcomeId++;
  outcome->dropId = dropId;
  outcome->target = std::move(target);
  outcome->source = std::move(source);
  outcomes().push_back(outcome);
  return outcome;
}

std::shared_ptr<SimDrag> findRunningDrag(uint64_t dragId) {
  const auto& running = runningDrags();
  if (running.empty()) return nullptr;
  if (dragId == 0) return running.back();
  for (const auto& drag : running) {
    if (drag->id == dragId) return drag;
  }
  return nullptr;
}

std::string missingDrag(uint64_t dragId) {
  return dragId == 0 ? "no running drag" : "no running drag " + std::to_string(dragId);
}

bool isDirectory(const std::string& directory) {
  std::error_code ignored;
  return fs::is_directory(directory, ignored);
}

// "/" cannot be part of a file name; the Finder stores it as ":".
std::string storedName(std::string name) {
  std::replace(name.begin(), name.end(), '/', ':');
  return name;
}

// What a completion handler of one promised write holds: its outcome, and
// the provider (with its item) until the first answer, as AppKit keeps them.
struct HandlerState {
  DropOutcomePtr outcome;
  std::shared_ptr<port::FilePromiseProvider> provider;

  ~HandlerState() {
    if (outcome->answers == 0 && !outcome->delegateGone) {
      Desktop::instance().violation(
          "the completion handler of the promised write to " + outcome->destination +
          " was released without being called: its drop target waits forever");
    }
  }

  void answer(const std::optional<port::PromiseError>& error) {
    ++outcome->answers;
    if (outcome->answers > 1) {
      Desktop::instance().violation("the completion handler of the promised write to " +
                                    outcome->destination + " was called again");
      return;
    }
    outcome->success = !error.has_value();
    outcome->error = error;
    outcome->answeredInLiveTurn = Desktop::instance().liveTurn();
    std::error_code ignored;
    outcome->existedWhenAnswered = fs::exists(fs::symlink_status(outcome->destination, ignored));
    provider.reset();
    // Code of AppKit's that runs after the drop target has its answer may
    // raise; the answer stands.
    Desktop::instance().raises("completionHandler");
  }
};

// Asks the provider's delegate (held weakly, as AppKit does) for the write, on
// the queue it named: the main queue, `delaySeconds` from now.
void requestWrite(double delaySeconds, std::weak_ptr<SimDragSessionPeer> delegate,
                  std::shared_ptr<port::FilePromiseProvider> provider, DropOutcomePtr outcome) {
  Desktop::instance().post(delaySeconds, [delegate, provider, outcome] {
    std::shared_ptr<SimDragSessionPeer> peer = delegate.lock();
    if (!peer) {
      outcome->delegateGone = true;
      Desktop::instance().violation("the promised write to " + outcome->destination +
                                    " was never requested: its provider's delegate has gone, so " +
                                    "its drop target waits forever");
      return;
    }
    auto state = std::make_shared<HandlerState>();
    state->outcome = outcome;
    state->provider = provider;
    port::PromiseCompletionHandler handler =
        [state](const std::optional<port::PromiseError>& error) { state->answer(error); };
    peer->client()->filePromiseProviderWritePromiseToURL(*provider, outcome->destination,
                                                         std::move(handler));
  });
}

// An NSFilePromiseProvider the addon did not make, set up with our delegate.
class ForeignFilePromiseProvider final : public port::FilePromiseProvider {
 public:
  bool isKestrovanProvider() const override { return false; }
  PromiseItemPtr kestrovanItem() const override { return nullptr; }
  std::string fileType() const override { return "public.data"; }
};

}  // namespace

const std::vector<DropOutcomePtr>& dropOutcomes() { return outcomes(); }

void clearDropOutcomes() { outcomes().clear(); }

std::string freeNameInDirectory(const std::string& directory, const std::string& name,
                                const std::vector<std::string>& taken) {
  auto isTaken = [&](const std::string& candidate) {
    if (std::find(taken.begin(), taken.end(), candidate) != taken.end()) return true;
    std::error_code ignored;
    return fs::exists(fs::symlink_status(fs::path(directory) / candidate, ignored));
  };
  if (!isTaken(name)) return name;
  size_t dot = name.rfind('.');
  bool hasExtension = dot != std::string::npos && dot != 0;
  std::string stem = hasExtension ? name.substr(0, dot) : name;
  std::string extension = hasExtension ? name.substr(dot) : "";
  for (uint64_t n = 2;; ++n) {
    std::string candidate = stem + " " + std::to_string(n) + extension;
    if (!isTaken(candidate)) return candidate;
  }
}

namespace {

// The running drag a drop onto `directory` goes to, with a new drop id in
// `result`; none, with the reason in `result`, when there is no such drag or
// the directory is not one.
std::shared_ptr<SimDrag> beginDrop(uint64_t dragId, const std::string& directory,
                                   DropResult& result) {
  std::shared_ptr<SimDrag> drag = findRunningDrag(dragId);
  if (!drag) {
    result.error = missingDrag(dragId);
    return nullptr;
  }
  if (!isDirectory(directory)) {
    result.error = "not a directory: " + directory;
    return nullptr;
  }
  result.dropId = nextDropId++;
  return drag;
}

}  // namespace

DropResult dropOnFolder(uint64_t dragId, const std::string& directory, port::Point screenPoint,
                        const FolderDropOptions& options) {
  DropResult result;
  std::shared_ptr<SimDrag> drag = beginDrop(dragId, directory, result);
  if (!drag) return result;
  std::vector<std::string> given;
  // The drag's items, held by this copy while the target reads them.
  std::vector<std::shared_ptr<SimDraggingItem>> items = drag->items;
  for (const auto& item : items) {
    std::shared_ptr<SimPasteboardWriter> writer = item->writer;
    if (!writer) continue;
    if (writer->kind == WriterKind::kFileURL) {
      DropOutcomePtr outcome = newOutcome(result.dropId, "folder", "fileURL");
      std::string name = freeNameInDirectory(
          directory, storedName(fs::path(writer->path).filename().string()), given);
      given.push_back(name);
      outcome->fileName = name;
      outcome->destination = (fs::path(directory) / name).string();
      std::error_code error;
      fs::copy(writer->path, outcome->destination, fs::copy_options::recursive, error);
      outcome->answers = 1;
      outcome->success = !error;
      if (error) {
        outcome->error = port::PromiseError{"NSPOSIXErrorDomain", error.value(), error.message()};
      }
      // A destination the file system refuses (a name too long) is simply not there.
      std::error_code ignored;
      outcome->existedWhenAnswered = fs::exists(fs::symlink_status(outcome->destination, ignored));
      result.outcomes.push_back(outcome);
      continue;
    }
    DropOutcomePtr outcome = newOutcome(result.dropId, "folder", "promise");
    if (writer->item) outcome->promiseId = writer->item->promiseId;
    std::shared_ptr<SimDragSessionPeer> peer = writer->delegate.lock();
    if (!peer) {
      // A provider whose delegate has gone is never asked anything.
      outcome->delegateGone = true;
      result.outcomes.push_back(outcome);
      continue;
    }
    std::shared_ptr<port::DragSessionClient> client = peer->client();
    std::string asked = client->filePromiseProviderFileNameForType(*writer, writer->fileType());
    std::string name = freeNameInDirectory(directory, storedName(asked), given);
    given.push_back(name);
    outcome->fileName = name;
    outcome->destination = (fs::path(directory) / name).string();
    switch (client->operationQueueForFilePromiseProvider(*writer)) {
      case port::OperationQueue::kMain:
        requestWrite(options.requestDelaySeconds, writer->delegate, writer, outcome);
        break;
    }
    result.outcomes.push_back(outcome);
  }
  // The drop is over for the user: the drag ends here with the copy operation.
  if (options.endDrag) endDrag(drag->id, screenPoint, port::drag_operation::kCopy);
  return result;
}

DropResult requestWriteThroughForeignProvider(uint64_t dragId, const std::string& directory,
                                              bool ourClassWithoutItem) {
  DropResult result;
  std::shared_ptr<SimDrag> drag = beginDrop(dragId, directory, result);
  if (!drag) return result;
  std::shared_ptr<port::FilePromiseProvider> provider;
  if (ourClassWithoutItem) {
    auto writer = std::make_shared<SimPasteboardWriter>();
    writer->kind = WriterKind::kFilePromise;
    writer->promiseFileType = "public.data";
    writer->delegate = drag->source;
    provider = writer;
  } else {
    provider = std::make_shared<ForeignFilePromiseProvider>();
  }
  DropOutcomePtr outcome = newOutcome(
      result.dropId, ourClassWithoutItem ? "emptyProvider" : "foreignProvider", "promise");
  std::shared_ptr<port::DragSessionClient> client = drag->source->client();
  std::string name = freeNameInDirectory(
      directory, storedName(client->filePromiseProviderFileNameForType(*provider, "public.data")),
      {});
  outcome->fileName = name;
  outcome->destination = (fs::path(directory) / name).string();
  switch (client->operationQueueForFilePromiseProvider(*provider)) {
    case port::OperationQueue::kMain:
      requestWrite(0, drag->source, provider, outcome);
      break;
  }
  result.outcomes.push_back(outcome);
  return result;
}

}  // namespace kestrovan::sim
