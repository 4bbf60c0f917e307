#pragma once
// The memory image of one S-record file: the 24-bit address space as 65,536
// pages of 256 bytes, created on first touch (blank bytes 0xFF).
#include <array>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

#include "image/page_set.h"

namespace kv {

class CLineImage {
public:
    CLineImage() { Clear(); }
    virtual ~CLineImage() = default;
    void Clear() { data_.fill(0xFF); }
    // Copies count bytes to offset address & 0xFF; the caller keeps it inside the page.
    int Write(const uint8_t* source, uint32_t address, uint32_t count);
    void Read(uint8_t* destination) const;
    const std::array<uint8_t, 256>& Bytes() const { return data_; }

private:
    std::array<uint8_t, 256> data_;
};

// Why a load ended, so that callers can tell the user once.
enum class LoadStatus {
    Complete,        // termination record reached
    NoTermination,   // end of file without S7/S8/S9
    NotSRecord,      // a non-empty line that does not begin with "S"
    BadRecord,       // bad hex digits, bad count or checksum, overlong line, or data beyond 0xFFFFFF
    CannotOpen,      // no regular file, or it could not be opened or read; the image is empty
};

class CMotFile {
public:
    static constexpr uint32_t kPages = 65536;
    static constexpr uint32_t kAddressSpace = kPages * 256;

    CMotFile();
    virtual ~CMotFile();
    CMotFile(const CMotFile&) = delete;
    CMotFile& operator=(const CMotFile&) = delete;

    // 1 when read up to a termination record, else 0. Clears the image first.
    // The image keeps what was read before a failure; a refused record
    // changes nothing. Nothing is shown: LastStatus tells the caller why.
    int LoadFile(const std::string& path);
    // The same over an already open stream (opened in binary mode).
    int LoadStream(std::istream& in);
    LoadStatus LastStatus() const { return status_; }
    // The line number of the record that was refused, for BadRecord / NotSRecord.
    unsigned LastLine() const { return lastLine_; }

    // Copies the page into buffer and answers it, or answers null and leaves
    // the buffer untouched when the page is absent.
    const CLineImage* GetPage(uint8_t* buffer, uint32_t pageIndex) const;
    // The page itself without a copy, or null when absent.
    const CLineImage* Page(uint32_t pageIndex) const;
    const PageSet& PresentPages() const { return present_; }
    // Puts size bytes at address like a data record: their pages are created
    // (the page of address even when size is 0). False, with nothing
    // changed, when the bytes would pass 0xFFFFFF.
    bool Put(uint32_t address, const uint8_t* data, uint32_t size);
    void Clear();
    size_t PageCount() const;
    // Exchanges the whole content with `other`.
    void Swap(CMotFile& other);

private:
    CLineImage& Touch(uint32_t pageIndex);
    void Store(uint32_t address, const uint8_t* data, uint32_t size);

    std::unique_ptr<std::unique_ptr<CLineImage>[]> pages_;
    PageSet present_;
    LoadStatus status_ = LoadStatus::NoTermination;
    unsigned lastLine_ = 0;
};

}  // namespace kv
