#pragma once
// The line that tells at once that a stop signal came: the run may be in a
// long erase or waiting for the chip, and ends only after that exchange.
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>

namespace kv::cli {

// "kelvane-cli: SIGINT received: the run stops after the exchange in hand
// ...": what the stop does, and what a second signal would do.
std::string StopNoticeText(int signal);

// A stream that more than one thread may write to: each write reaches the
// stream it wraps whole, under a lock. A Line written from another thread
// begins on a line of its own.
class CLockedStream : public std::ostream {
public:
    explicit CLockedStream(std::ostream& target);
    ~CLockedStream() override;
    // `text` as a whole line of its own.
    void Line(const std::string& text);

private:
    class Buffer : public std::streambuf {
    public:
        explicit Buffer(std::streambuf* target) : target_(target) {}
        void Line(const std::string& text);

    protected:
        int_type overflow(int_type ch) override;
        std::streamsize xsputn(const char* text, std::streamsize count) override;
        int sync() override;

    private:
        std::streamsize Put(const char* text, std::streamsize count);  // the lock held

        std::mutex mutex_;
        std::streambuf* target_;
        bool atLineStart_ = true;
    };
    Buffer buffer_;
};

}  // namespace kv::cli
