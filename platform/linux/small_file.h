#pragma once
// Whole-file reads and locked, atomic rewrites of small files (the settings file).
#include <functional>
#include <optional>
#include <string>

namespace plat {

enum class ReadResult { Ok, Missing, TooLarge, Failed };

// Reads a regular file of at most `limit` bytes into `content`. A path that is
// not a regular file (a FIFO, a device) or cannot be read counts as Failed.
ReadResult ReadSmallFile(const std::string& path, std::string& content, size_t limit);

enum class UpdateResult {
    Written,
    ReadOnly,  // the file is there but we may not write it: left alone
    TooLarge,  // the file is larger than the limit: left alone
    Failed,    // nothing changed
};

// Read-modify-write of the file at `path` (a missing file reads as empty):
// `edit` gets the current text and answers the new one. Writers hold an
// advisory lock on the file for the whole update, so concurrent updates
// never lose each other's changes; readers never see a mix, because the new
// text goes to a temporary file in the same folder that is synced and
// renamed over the old one. A symbolic link is written through to its
// target, which keeps its permissions. Creates missing parent folders.
// Temporaries left by writers that died are removed; on failure the
// temporary is removed and the original is untouched.
UpdateResult UpdateSmallFile(const std::string& path, size_t limit,
                             const std::function<std::string(const std::string&)>& edit);

// Replaces the file at `path` (through its links) with what `fill` writes to
// the temporary file's descriptor, by the same temporary-and-rename step, but
// without the lock: for files nobody edits in place. Missing parent folders
// are created only when `makeFolders`. On failure `error` holds the errno of
// the step that failed (0 when `fill` answered false without one), the
// temporary is removed and the original is untouched.
bool ReplaceFileThrough(const std::string& path, const std::function<bool(int fd)>& fill, bool makeFolders, int& error);

// The file a write of `path` goes to: `path` itself, or the end of the chain
// of symbolic links that starts there (also when that file does not exist yet).
std::string WriteTargetOf(const std::string& path);

// Unlinks `path` only while it still names the file open on `fd`: a file
// another writer renamed into its place meanwhile stays. True when removed.
bool RemoveIfStillHeld(const std::string& path, int fd);

// The temporary file UpdateSmallFile uses for `target` in this process.
std::string TemporaryPathFor(const std::string& target);

}  // namespace plat
