// Drop targets on the simulated desktop: what receives a drag when it is
// dropped, as the Finder and other applications would.
//
// The folder target behaves like a Finder window showing a real directory. For
// each dragged item, in order: a file promise is asked for its file name
// (filePromiseProvider:fileNameForType:) and for its operation queue, and its
// write request (filePromiseProvider:writePromiseToURL:completionHandler:) is
// made on that queue, the main queue here, so it runs in a later turn of the
// main queue; a file URL (a cached file) is copied into the directory by the
// target itself. The drag then ends at the drop point with the copy operation.
//
// Destination names: the name asked for (or the file's own name), with "/"
// stored as ":" as the Finder does; when an entry of that name exists in the
// directory, or an earlier item of the same drop was given it, the target
// tries "name 2.ext", "name 3.ext" and so on, the extension being the part
// after the last dot (none when the only dot leads the name).
//
// Every write's outcome is recorded under its destination: the number of
// times its completion handler was called, and the first answer (success, or
// the error's domain, code and description). A second call of a handler, a
// handler released without ever being called, or a write request that finds
// the provider's (weak) delegate gone, so it can never be made, is a
// violation: a drop target answered twice or left waiting forever.
//
// Lifetimes follow AppKit: a provider and its item live as long as the drag
// holds them and, after that, as long as a write of theirs is open (the
// completion handler holds them until its first call).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "port/dragging.h"
#include "port/geometry.h"

namespace kestrovan::sim {

struct DropOutcome {
  uint64_t id = 0;
  uint64_t dropId = 0;
  std::string target;  // "folder", "foreignProvider" or "emptyProvider"
  std::string source;  // "promise" or "fileURL"
  std::string destination;
  std::string promiseId;  // the provider's item, when it has one
  std::string fileName;   // the name the target asked for or copied
  int answers = 0;        // completion handler calls (a copy counts as one)
  bool success = false;   // the first answer
  std::optional<port::PromiseError> error;
  bool existedWhenAnswered = false;  // the destination, at the first answer
  bool delegateGone = false;         // the write request found no delegate to ask
  uint64_t answeredInLiveTurn = 0;   // the live main-queue turn of the first answer; 0: none
};

using DropOutcomePtr = std::shared_ptr<DropOutcome>;

// Every outcome recorded since the last clearDropOutcomes(), oldest first.
const std::vector<DropOutcomePtr>& dropOutcomes();
void clearDropOutcomes();

struct FolderDropOptions {
  // The write requests are made this many seconds after the drop.
  double requestDelaySeconds = 0;
  // False: the drag keeps running (the caller ends it), as when a target asks
  // before the drag session is over.
  bool endDrag = true;
};

struct DropResult {
  uint64_t dropId = 0;
  std::vector<DropOutcomePtr> outcomes;  // one per item, in item order
  std::string error;                     // non-empty: nothing was done
};

// Drops a running drag (id, or 0 for the newest) on a folder target showing
// `directory` at `screenPoint`.
DropResult dropOnFolder(uint64_t dragId, const std::string& directory, port::Point screenPoint,
                        const FolderDropOptions& options);

// Asks the source of a running drag (id, or 0 for the newest) for a file
// through a provider the addon did not make: another NSFilePromiseProvider
// (`ourClassWithoutItem` false) or a KestrovanFilePromiseProvider carrying no
// item. The destination is in `directory`; the write request is made on the
// queue the delegate names. The drag keeps running.
DropResult requestWriteThroughForeignProvider(uint64_t dragId, const std::string& directory,
                                              bool ourClassWithoutItem);

// The first free name for `name` in `directory` by the rule above; `taken`
// lists names already given out.
std::string freeNameInDirectory(const std::string& directory, const std::string& name,
                                const std::vector<std::string>& taken);

}  // namespace kestrovan::sim
