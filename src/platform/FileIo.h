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

enum class NewFileStatus {
    Created, // the file now holds bytes
    Exists,  // a file of that name was there already; it is untouched
    Failed,  // nothing was created
};

// Creates the file at path holding bytes, never replacing an existing one:
// the bytes go to a temporary file beside it, are flushed to the disk, and
// the temporary file is then linked under the final name, which fails
// atomically when that name exists. On Failed the failing call is named in
// *error (when not null).
[[nodiscard]] NewFileStatus
CreateNewFile(const std::string& path, std::span<const uint8_t> bytes, std::string* error);

// Removes the file at path; true when it is gone (or never was).
[[nodiscard]] bool RemoveFile(const std::string& path, std::string* error);

// Creates the folder path and every missing parent (permissions as the umask
// gives). True when the folder exists afterwards.
[[nodiscard]] bool MakeFolders(const std::string& path, std::string* error);

// The names of the entries of the folder path (not "." and ".."), sorted;
// empty when there is no such folder.
[[nodiscard]] std::vector<std::string> ListFolder(const std::string& path);

// The user's folder for application data: $XDG_DATA_HOME when it is set to
// an absolute path, else $HOME/.local/share; "" when neither is known.
[[nodiscard]] std::string UserDataFolder();

} // namespace platform
