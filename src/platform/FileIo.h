#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace platform {

// Whole-file reads and safe whole-file replacement. Paths are UTF-8.
//
// Thread safety: every function may be called from any thread; two threads
// replacing the same file both succeed and the last rename wins.

enum class FileReadStatus {
    Ok,       // the file was read whole
    NotFound, // no file of that name (or a folder of the path is missing)
    Failed,   // it exists but could not be read, is a folder or is too large
};

// Reads the file at path into out (emptied first). A file larger than maxBytes
// is not read (Failed). On Failed the failing call is named in *error when
// error is not null.
[[nodiscard]] FileReadStatus ReadWholeFile(const std::string& path,
                                           std::vector<uint8_t>& out,
                                           size_t maxBytes,
                                           std::string* error);

// Replaces the file at path with bytes: writes a temporary file in the same
// folder, flushes it to the disk and renames it over path, so that a reader
// sees either the old or the new contents and a failure leaves the old file as
// it was (the temporary file is removed). A new file gets the default
// permissions; an existing one keeps its permission bits. A symbolic link is
// followed: the file it names is replaced and the link stays. Returns false
// and names the failing call in *error (when not null) on failure.
[[nodiscard]] bool
ReplaceFileContents(const std::string& path, std::span<const uint8_t> bytes, std::string* error);

} // namespace platform
