#pragma once
// Opening the text files the programs read (program files, ID files, the
// sequencer firmware): only regular files, so that a FIFO, a device or a
// folder typed as a file name can neither block the open nor feed the
// reader without end.
#include <fstream>
#include <string>

namespace kv {

// True when the path names a regular file, links followed. Never blocks.
bool IsRegularFile(const std::string& path);

// Opens a regular file for binary reading; false (and `in` closed) for
// anything else or when the open fails.
bool OpenRegularFile(const std::string& path, std::ifstream& in);

}  // namespace kv
