// The drag pasteboard's type names that mean "files", compared by their
// string values with the types the pasteboard offers.
#pragma once

#include <array>
#include <string_view>

namespace kestrovan::sidecar {

inline constexpr std::string_view fileURLPasteboardType = "public.file-url";
inline constexpr std::string_view filenamesPasteboardType = "NSFilenamesPboardType";

// Files promised rather than offered: what Mail, Photos and Safari drag. A
// promised file is written only once the drop target asks for it, so such a
// drag offers neither file URLs nor filenames, yet it is a drag of files.
// AppKit's `NSFilePromiseReceiver.readableDraggedTypes` answers the type
// names of the promises it reads; these are the ones AppKit and HIServices
// name:
//   - the item metadata that `NSFilePromiseProvider` writes for each promised
//     file;
//   - `kPasteboardTypeFileURLPromise` and `kPasteboardTypeFilePromiseContent`
//     (HIServices' Pasteboard.h), the promised file's URL and its content
//     type;
//   - the value of `NSFilesPromisePboardType` (deprecated since macOS 10.14 in
//     favour of `kPasteboardTypeFileURLPromise`), which sources of the older
//     promise protocol, Mail among them, still put on the pasteboard.
// Platforms may name more (`DragPasteboardPort::filePromiseReadableTypes`).
inline constexpr std::array<std::string_view, 4> filePromisePasteboardTypes{
    "com.apple.NSFilePromiseItemMetaData",
    "com.apple.pasteboard.promised-file-url",
    "com.apple.pasteboard.promised-file-content-type",
    "Apple files promise pasteboard type",
};

}  // namespace kestrovan::sidecar
