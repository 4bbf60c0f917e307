#pragma once
// Serial device servers for the network-port tests and benchmarks: ser2net
// from the system, started with a generated configuration in front of
// simulators' pseudo-terminals, and a TCP proxy that holds each direction for
// a set time (a slow network), can cut the connection after so many bytes
// from the client (a server that goes away mid-write), and counts the
// COM-PORT requests of each connection. Header-only, so the benchmarks use it too.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kvnet {

// The path of the system's ser2net; "" when it is not installed.
inline std::string Ser2netBinary() {
    for (const char* path : {"/usr/sbin/ser2net", "/usr/bin/ser2net", "/usr/local/sbin/ser2net"})
        if (access(path, X_OK) == 0) return path;
    return {};
}

// A TCP port on the loopback that was free a moment ago.
inline uint16_t FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    uint16_t port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    close(fd);
    return port;
}

// Whether something listens on the loopback port (a connection is made and dropped).
inline bool Listening(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    return ok;
}

// ser2net serving each of `ptys` on a port of its own: telnet with the
// COM-PORT option, or raw TCP at 9600 bps. As the README sets it up: no
// Nagle delay and no wait for more characters, which cost a protocol of
// short exchanges some 40 ms each.
class Ser2net {
public:
    Ser2net(const std::vector<std::string>& ptys, const std::string& folder, bool rfc2217 = true) {
        const std::string binary = Ser2netBinary();
        if (binary.empty()) return;
        const std::string config = folder + "/ser2net.yaml";
        std::ofstream out(config);
        for (size_t i = 0; i < ptys.size(); ++i) {
            ports_.push_back(FreePort());
            out << "connection: &board" << i << "\n"
                << "  accepter: " << (rfc2217 ? "telnet(rfc2217)," : "") << "tcp(nodelay),127.0.0.1," << ports_.back()
                << "\n"
                << "  connector: serialdev," << ptys[i] << ",9600n81,local\n"
                << "  options:\n    kickolduser: true\n    chardelay: false\n";
        }
        out.close();
        const std::string pidFile = folder + "/ser2net.pid";
        const std::string log = folder + "/ser2net.log";
        pid_ = fork();
        if (pid_ == 0) {
            std::freopen(log.c_str(), "w", stdout);
            std::freopen(log.c_str(), "a", stderr);
            execl(binary.c_str(), binary.c_str(), "-n", "-u", "-c", config.c_str(), "-P", pidFile.c_str(), nullptr);
            _exit(127);
        }
        // Ready once every port listens.
        for (int i = 0; i < 100 && pid_ > 0; ++i) {
            bool all = true;
            for (uint16_t p : ports_) all = all && Listening(p);
            if (all) {
                ready_ = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~Ser2net() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    Ser2net(const Ser2net&) = delete;
    Ser2net& operator=(const Ser2net&) = delete;

    bool Ready() const { return ready_; }
    uint16_t Port(size_t i = 0) const { return ports_.at(i); }
    std::string Url(size_t i = 0) const { return "rfc2217://127.0.0.1:" + std::to_string(Port(i)); }

private:
    pid_t pid_ = -1;
    bool ready_ = false;
    std::vector<uint16_t> ports_;
};

// The COM-PORT requests a client sent on one connection, by command code
// (1 baud rate, 2 data size, 3 parity, 4 stop bits, 5 control, 12 purge).
using ComPortCounts = std::array<int, 256>;

// Reads a client's telnet stream and counts its COM-PORT sub-negotiations.
class ComPortCounter {
public:
    void Feed(const uint8_t* data, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            const uint8_t b = data[i];
            switch (state_) {
                case State::Data: state_ = b == kIac ? State::Iac : State::Data; break;
                case State::Iac:
                    if (b == kSb)
                        state_ = State::Sb;
                    else if (b >= 251 && b <= 254)
                        state_ = State::Option;  // WILL WONT DO DONT: one option byte
                    else
                        state_ = State::Data;  // IAC IAC, or a plain command
                    break;
                case State::Option: state_ = State::Data; break;
                case State::Sb: state_ = b == kComPort ? State::Command : State::Data; break;
                case State::Command:
                    ++counts_[b];
                    state_ = State::Data;  // the value and IAC SE follow as ordinary bytes
                    break;
            }
        }
    }
    const ComPortCounts& Counts() const { return counts_; }

private:
    static constexpr uint8_t kIac = 255, kSb = 250, kComPort = 44;
    enum class State { Data, Iac, Option, Sb, Command };
    State state_ = State::Data;
    ComPortCounts counts_{};
};

// A proxy on the loopback in front of `target`: every chunk waits `oneWayMs`
// in each direction; with `cutAfter` non-zero, a connection is dropped once
// the client has sent that many bytes.
class DelayProxy {
public:
    DelayProxy(uint16_t target, uint32_t oneWayMs, size_t cutAfter = 0)
        : target_(target), oneWayMs_(oneWayMs), cutAfter_(cutAfter) {
        listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int on = 1;
        setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listen_, 16) != 0 ||
            getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            return;
        port_ = ntohs(a.sin_port);
        accepter_ = std::thread([this] { AcceptLoop(); });
    }
    ~DelayProxy() {
        stop_ = true;
        if (accepter_.joinable()) accepter_.join();
        for (auto& t : links_) t.join();
        if (listen_ >= 0) close(listen_);
    }
    DelayProxy(const DelayProxy&) = delete;
    DelayProxy& operator=(const DelayProxy&) = delete;

    uint16_t Port() const { return port_; }
    std::string Url() const { return "rfc2217://127.0.0.1:" + std::to_string(port_); }
    // The counts of each connection so far, in the order they were made.
    std::vector<ComPortCounts> Counts() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return counts_;
    }

private:
    using Clock = std::chrono::steady_clock;
    struct Chunk {
        Clock::time_point due;
        std::vector<uint8_t> bytes;
    };

    void AcceptLoop() {
        while (!stop_) {
            pollfd p{listen_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            const int client = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            const int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(target_);
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (connect(server, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
                close(server);
                close(client);
                continue;
            }
            size_t index;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                index = counts_.size();
                counts_.push_back({});
            }
            links_.emplace_back([this, client, server, index] { Relay(client, server, index); });
        }
    }

    // Both directions of one connection, each chunk sent when it is due.
    void Relay(int client, int server, size_t index) {
        int on = 1;
        setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        std::deque<Chunk> toServer, toClient;
        ComPortCounter counter;
        size_t fromClient = 0;
        bool open = true;
        while (!stop_ && open) {
            const auto now = Clock::now();
            auto flush = [&](std::deque<Chunk>& q, int fd) {
                while (!q.empty() && q.front().due <= now) {
                    if (send(fd, q.front().bytes.data(), q.front().bytes.size(), MSG_NOSIGNAL) < 0) open = false;
                    q.pop_front();
                }
            };
            flush(toServer, server);
            flush(toClient, client);
            int wait = 20;
            for (auto* q : {&toServer, &toClient})
                if (!q->empty())
                    wait = std::min<int>(
                        wait, static_cast<int>(
                                  std::chrono::duration_cast<std::chrono::milliseconds>(q->front().due - now).count()) +
                                  1);
            pollfd p[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
            if (poll(p, 2, std::max(wait, 0)) < 0) break;
            uint8_t buf[4096];
            for (int side = 0; side < 2 && open; ++side) {
                if (!(p[side].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                const ssize_t n = recv(p[side].fd, buf, sizeof buf, 0);
                if (n <= 0) {
                    open = false;
                    break;
                }
                Chunk c{Clock::now() + std::chrono::milliseconds(oneWayMs_), {buf, buf + n}};
                if (side == 0) {
                    counter.Feed(buf, static_cast<size_t>(n));
                    {
                        std::lock_guard<std::mutex> lock(mutex_);
                        counts_[index] = counter.Counts();
                    }
                    fromClient += static_cast<size_t>(n);
                    if (cutAfter_ != 0 && fromClient >= cutAfter_) open = false;  // the server goes away
                    toServer.push_back(std::move(c));
                } else {
                    toClient.push_back(std::move(c));
                }
            }
        }
        close(client);
        close(server);
    }

    uint16_t target_;
    uint32_t oneWayMs_;
    size_t cutAfter_;
    int listen_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread accepter_;
    std::vector<std::thread> links_;
    mutable std::mutex mutex_;
    std::vector<ComPortCounts> counts_;
};

}  // namespace kvnet
