#pragma once
// What kelvane-cli prints: one line per command on stdout (or one JSON object
// per line with --json), progress on stderr, and the refusals that end a run.
#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace kv::cli {

// Named values of a result, printed as "name value" or as JSON members.
using Fields = std::vector<std::pair<std::string, std::string>>;

// A result or refusal as printed: `command` empty for a refusal.
struct ResultLine {
    std::string command;
    int code = 0;
    std::string message;
};

// Told of a run's steps as they happen, for a display that follows many
// runs at once.
class CRunWatcher {
public:
    virtual ~CRunWatcher() = default;
    // The run is at `phase` with `percent` of it done (-1: nothing to measure).
    virtual void Phase(const std::string& phase, int percent) = 0;
    // A command failed, or the run was refused, with exit status `code`.
    virtual void Failed(int code, const std::string& text) = 0;
};

class CReportPrinter {
public:
    enum class ProgressStyle { None, Bar, Lines };

    CReportPrinter(std::ostream& out, std::ostream& err, bool json, ProgressStyle progress);

    bool Json() const { return json_; }
    // None: nobody watches.
    void Watch(CRunWatcher* watcher) { watcher_ = watcher; }

    // The result of one command: `code` its exit status, `text` one line.
    void Result(const std::string& command, int code, const std::string& text, const Fields& fields = {});
    // A refusal before or outside the commands (argument, file, port).
    void Refusal(int code, const std::string& text);
    // The run's exit status, last: with --json the run's one "exit" object.
    void Final(int code);
    // False: someone else prints the exit object (a gang prints one for all ports).
    void PrintExit(bool print) { printExit_ = print; }
    // The exit object counts the run's retries (--retry).
    void CountRetries(int retries) { retries_ = retries; }
    // Every result and refusal printed from now on is also kept in `kept`;
    // none: not kept.
    void Keep(std::vector<ResultLine>* kept) { kept_ = kept; }
    // Trace lines (-v).
    void Trace(const std::string& text);

    // Progress of a page loop: pages done of `pages`, with the bytes per
    // second and the time left after `elapsedMs`.
    void ProgressStart(const std::string& title, uint32_t pages);
    void ProgressStep(uint32_t done, uint32_t pages, uint32_t elapsedMs);
    void ProgressEnd();

    // A JSON string literal for `text`; bytes that are not UTF-8 become U+FFFD.
    static std::string JsonString(const std::string& text);
    // The JSON key for a field's name: "ID Check" is "id_check".
    static std::string JsonKey(const std::string& name);

private:
    std::ostream& out_;
    std::ostream& err_;
    bool json_;
    ProgressStyle progress_;
    std::string title_;
    int lastTenth_ = -1;
    bool barOpen_ = false;
    bool printExit_ = true;
    int retries_ = -1;  // -1: not counted
    std::vector<ResultLine>* kept_ = nullptr;
    CRunWatcher* watcher_ = nullptr;
};

}  // namespace kv::cli
