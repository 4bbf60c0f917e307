#pragma once
// Opening files for the image formats: reads only from regular files (a FIFO
// or device put in a file's place never blocks the open), and writes that
// replace a file whole or not at all.
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

namespace plat {

enum class OpenError { None, Missing, NotRegular, Failed };

// A seekable binary stream over the regular file at `path`, or null with
// `error` set. `reason` gets a short text for the user ("not a regular file").
std::unique_ptr<std::istream> OpenRegularFile(const std::string& path, OpenError& error, std::string& reason);

// Creates or replaces the file at `path` with what `write` puts into the
// stream: a temporary file beside it is written, synced and renamed over it.
// Only a regular file is replaced: a device, FIFO or folder at `path` (or
// where its links lead) is refused and left alone. When `write` answers
// false, the stream fails or any step fails, the temporary is removed and
// `path` is left as it was (absent or old); `reason` then says why. A
// replaced file keeps its permissions.
bool WriteFileAtomically(const std::string& path, const std::function<bool(std::ostream&)>& write, std::string& reason);

// Whether WriteFileAtomically could write `path` now, asked before the work
// that makes its content: `path` is a regular file or a new name, and the
// temporary file can be made beside it with room for its first block (it
// is removed again). False with `reason` set otherwise.
bool CheckFileCanBeWritten(const std::string& path, std::string& reason);

// Appends `text` to the file at `path` (created, mode 0644, when absent)
// with one write(2) in append mode under an exclusive flock, so that the
// lines of several processes appending to one file never mix. A write that
// could not go out whole is cut off again: the file holds all of `text` or
// none of it. False with `reason` set when it was not appended.
bool AppendWhole(const std::string& path, const std::string& text, std::string& reason);

}  // namespace plat
