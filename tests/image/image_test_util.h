#pragma once
// Scratch files and hand-built S-records for the image tests.
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <streambuf>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kvtest {

// A directory of its own for each test, removed afterwards.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kv-image-XXXXXX").string();
        if (!mkdtemp(pattern.data())) ADD_FAILURE() << "mkdtemp failed";
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string File(const std::string& name) const { return (path_ / name).string(); }
    std::string Write(const std::string& name, const std::string& text) const {
        const std::string path = File(name);
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    std::string WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) const {
        const std::string path = File(name);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    // Files that are no regular files: opening a FIFO for reading blocks
    // until a writer comes, /dev/zero never ends.
    std::string Fifo(const std::string& name) const {
        const std::string path = File(name);
        if (mkfifo(path.c_str(), 0600) != 0) ADD_FAILURE() << "mkfifo failed";
        return path;
    }
    std::string LinkTo(const std::string& name, const std::string& target) const {
        const std::string path = File(name);
        std::error_code ec;
        std::filesystem::create_symlink(target, path, ec);
        if (ec) ADD_FAILURE() << "symlink failed: " << ec.message();
        return path;
    }

private:
    std::filesystem::path path_;
};

// A stream that never ends, like /dev/zero, and counts what was taken from it.
class EndlessBuf : public std::streambuf {
public:
    explicit EndlessBuf(char fill) { chunk_.fill(fill); }
    size_t Served() const { return served_; }

protected:
    int_type underflow() override {
        served_ += chunk_.size();
        setg(chunk_.data(), chunk_.data(), chunk_.data() + chunk_.size());
        return traits_type::to_int_type(chunk_[0]);
    }

private:
    std::array<char, 4096> chunk_{};
    size_t served_ = 0;
};

// An S1/S2/S3 record; `checksumDelta` spoils the checksum on purpose.
inline std::string Record(int type, uint32_t address, const std::vector<uint8_t>& data, int checksumDelta = 0) {
    const int addressBytes = type + 1;
    std::vector<uint8_t> bytes;
    bytes.push_back(static_cast<uint8_t>(addressBytes + data.size() + 1));
    for (int i = addressBytes - 1; i >= 0; --i) bytes.push_back(static_cast<uint8_t>(address >> (8 * i)));
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (uint8_t b : bytes) sum += b;
    bytes.push_back(static_cast<uint8_t>(~sum + static_cast<unsigned>(checksumDelta)));
    // Appended, not "S" + ...: GCC 12 misreads that insert at -O3 (-Wrestrict).
    std::string text = "S";
    text += std::to_string(type);
    char hex[3];
    for (uint8_t b : bytes) {
        std::snprintf(hex, sizeof hex, "%02X", b);
        text += hex;
    }
    return text;
}

// An Intel HEX record; `checksumDelta` spoils the checksum on purpose.
inline std::string HexRecord(int type, uint16_t offset, const std::vector<uint8_t>& data, int checksumDelta = 0) {
    std::vector<uint8_t> bytes{static_cast<uint8_t>(data.size()), static_cast<uint8_t>(offset >> 8),
                               static_cast<uint8_t>(offset), static_cast<uint8_t>(type)};
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (uint8_t b : bytes) sum += b;
    bytes.push_back(static_cast<uint8_t>(0u - sum + static_cast<unsigned>(checksumDelta)));
    std::string text = ":";
    char hex[3];
    for (uint8_t b : bytes) {
        std::snprintf(hex, sizeof hex, "%02X", b);
        text += hex;
    }
    return text;
}

inline std::vector<uint8_t> Bytes(size_t count, uint32_t seed) {
    std::vector<uint8_t> bytes(count);
    for (auto& b : bytes) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<uint8_t>(seed >> 16);
    }
    return bytes;
}

inline bool HaveTool(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

inline bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

}  // namespace kvtest
