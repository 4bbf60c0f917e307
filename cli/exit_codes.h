#pragma once
// kelvane-cli's exit status: 0 only when every command succeeded.
namespace kv::cli {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;        // a command-line error
constexpr int kExitFile = 3;         // a file refused
constexpr int kExitPort = 4;         // the port cannot be opened
constexpr int kExitLink = 5;         // no answer from the chip, or the link lost
constexpr int kExitId = 6;           // the ID refused
constexpr int kExitDevice = 7;       // an erase or program error
constexpr int kExitDifference = 8;   // a check found a difference or a byte that is not blank

}  // namespace kv::cli
