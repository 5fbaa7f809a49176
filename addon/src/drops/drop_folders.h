// The folders a drop is received into, and what a drop removes again.
//
// Each drop that carries promised files gets a fresh folder inside the zone's
// destination, "<destination>/drop-XXXXXX" (mkdtemp: made by no one else), and
// each promised item a folder of its own inside that, named by its place in
// the drop ("1", "2", ...): whatever a source writes for one promise, under
// whatever name, lies in that item's folder, so a promise that fails or is
// never fulfilled is removed whole by removing its folder.
//
// Plain POSIX and std::filesystem: the same on macOS and Linux. Nothing here
// throws; failures come back as text for an error message.
#pragma once

#include <cstddef>
#include <string>

namespace kestrovan::drops {

// A folder made, or why not.
struct MadeFolder {
  std::string path;   // set on success
  std::string error;  // set on failure
  bool ok() const { return error.empty(); }
};

// Makes "<destination>/drop-XXXXXX".
MadeFolder makeDropFolder(const std::string& destination);

// Makes "<dropFolder>/<itemIndex + 1>".
MadeFolder makeItemFolder(const std::string& dropFolder, size_t itemIndex);

// True when `path` exists and its real path (every symbolic link resolved) lies
// strictly inside the real path of `folder`. A relative path is never inside.
bool isReallyInside(const std::string& path, const std::string& folder);

// True when something (a symbolic link too) is at `path`, without following it.
bool entryExists(const std::string& path);

// Removes the one entry at `path` (a symbolic link itself, never its target; a
// folder only when empty). Missing is fine.
void removeEntry(const std::string& path);

// Removes `folder` and everything in it (symbolic links inside are removed,
// never followed). Missing is fine.
void removeTree(const std::string& folder);

// Removes `folder` when it is empty.
void removeIfEmpty(const std::string& folder);

}  // namespace kestrovan::drops
