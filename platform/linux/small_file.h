#pragma once
// Whole-file reads and atomic replacement of small files (the settings file).
#include <functional>
#include <optional>
#include <string>

namespace plat {

enum class ReadResult { Ok, Missing, Failed };

// Reads a regular file of at most `limit` bytes into `content`. A path that is
// not a regular file (a FIFO, a device), cannot be read or is larger counts as Failed.
ReadResult ReadSmallFile(const std::string& path, std::string& content, size_t limit);

// Replaces the file at `path` with `content` so that a reader sees either the
// old or the new file, never a mix: a temporary file in the same folder is
// written, synced and renamed over the original. Creates missing parent folders.
// On failure the temporary is removed and the original is untouched.
bool ReplaceFileAtomically(const std::string& path, const std::string& content);

// The mechanism behind it: `fill` writes the temporary file through its
// descriptor. Missing parent folders are created only when `makeFolders`.
// On failure `error` holds the errno of the step that failed (0 when `fill`
// answered false without one).
bool ReplaceFileThrough(const std::string& path, const std::function<bool(int fd)>& fill, bool makeFolders,
                        int& error);

// The temporary file ReplaceFileAtomically uses for `path` in this process.
std::string TemporaryPathFor(const std::string& path);

}  // namespace plat
