// The folders a drop is received into, and what a drop removes again.
//
// Each drop that carries promised files gets a fresh folder inside the zone's
// destination, "<destination>/drop-XXXXXX" (mkdtemp: made by no one else), and
// every promised item of the drop is received into that one folder (AppKit
// wants the same destination for every receiver of a drag). What a source
// writes there under a name the core never hears of (a partial file of a
// promise that failed or was never fulfilled) is removed by sweeping the
// folder of everything but the files the drop's items were received at.
//
// Plain POSIX and std::filesystem: the same on macOS and Linux. Nothing here
// throws; failures come back as text for an error message.
#pragma once

#include <string>
#include <vector>

namespace kestrovan::drops {

// A folder made, or why not.
struct MadeFolder {
  std::string path;   // set on success
  std::string error;  // set on failure
  bool ok() const { return error.empty(); }
};

// Makes "<destination>/drop-XXXXXX".
MadeFolder makeDropFolder(const std::string& destination);

// True when `path` exists and its real path (every symbolic link resolved) lies
// strictly inside the real path of `folder`. A relative path is never inside.
bool isReallyInside(const std::string& path, const std::string& folder);

// True when something (a symbolic link too) is at `path`, without following it.
bool entryExists(const std::string& path);

// Removes the one entry at `path` (a symbolic link itself, never its target; a
// folder only when empty). Missing is fine.
void removeEntry(const std::string& path);

// The names `path` is known by, to tell whether two paths are the same entry:
// its real path (every link resolved) and the entry itself (its folder's real
// path and its own last component, a link not followed). Empty strings where
// they cannot be made.
struct EntryNames {
  std::string real;
  std::string entry;
};
EntryNames entryNamesOf(const std::string& path);

// Removes everything inside `folder` but the entries named in `keep` (either
// of their names) and the folders that lead to them: an entry leading to a
// kept one is entered and swept in turn, anything else is removed whole
// (symbolic links removed, never followed). Then removes `folder` if it is
// empty. Missing is fine.
void removeAllBut(const std::string& folder, const std::vector<EntryNames>& keep);

// Removes `folder` when it is empty.
void removeIfEmpty(const std::string& folder);

}  // namespace kestrovan::drops
