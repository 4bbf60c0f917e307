#pragma once
// The memory image of one S-record file: the 24-bit address space as 65,536
// pages of 256 bytes, created on first touch (blank bytes 0xFF).
#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace kv {

class CLineImage {
public:
    CLineImage() { Clear(); }
    virtual ~CLineImage() = default;
    void Clear() { data_.fill(0xFF); }
    // Copies count bytes to offset address & 0xFF; the caller keeps it inside the page.
    int Write(const uint8_t* source, uint32_t address, uint32_t count);
    void Read(uint8_t* destination) const;

private:
    std::array<uint8_t, 256> data_;
};

// Why a load ended, so that callers can tell the user once.
enum class LoadStatus {
    Complete,        // termination record reached
    NoTermination,   // end of file without S7/S8/S9
    NotSRecord,      // a non-empty line that does not begin with "S"
    BadRecord,       // bad hex digits, bad checksum, or data beyond 0xFFFFFF
    CannotOpen,
};

class CMotFile {
public:
    static constexpr uint32_t kPages = 65536;

    CMotFile();
    virtual ~CMotFile();
    CMotFile(const CMotFile&) = delete;
    CMotFile& operator=(const CMotFile&) = delete;

    // 1 when read up to a termination record, else 0. Clears the image first.
    int LoadFile(const std::string& path);
    LoadStatus LastStatus() const { return status_; }
    // The line number of the record that was refused, for BadRecord / NotSRecord.
    unsigned LastLine() const { return lastLine_; }

    // Copies the page into buffer and answers it, or answers null and leaves
    // the buffer untouched when the page is absent.
    const CLineImage* GetPage(uint8_t* buffer, uint32_t pageIndex) const;
    void Clear();
    size_t PageCount() const;

private:
    std::unique_ptr<std::unique_ptr<CLineImage>[]> pages_;
    LoadStatus status_ = LoadStatus::NoTermination;
    unsigned lastLine_ = 0;
};

}  // namespace kv
