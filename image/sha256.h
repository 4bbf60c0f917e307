#pragma once
// SHA-256 (FIPS 180-4), to name a program file's content in the run log.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kv {

class Sha256 {
public:
    Sha256();
    void Update(const uint8_t* data, size_t size);
    // The digest; the object is spent afterwards.
    std::array<uint8_t, 32> Final();
    // The digest of `data` as 64 lower-case hex digits.
    static std::string HexOf(const uint8_t* data, size_t size);

private:
    void Block(const uint8_t* block);

    std::array<uint32_t, 8> state_;
    std::array<uint8_t, 64> buffer_{};
    size_t buffered_ = 0;
    uint64_t bytes_ = 0;
};

}  // namespace kv
