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
    Complete,       // termination record reached, or the file ended after a sound record
    NoTermination,  // the file ended without any record, or inside one that is not sound
    NotSRecord,     // a non-empty line that does not begin with "S"
    BadRecord,      // a bad record (LastReason says how), overlong line, or data beyond 0xFFFFFF
    CannotOpen,     // no regular file, or it could not be opened or read; the image is empty
};

class CMotFile {
public:
    static constexpr uint32_t kPages = 65536;
    static constexpr uint32_t kAddressSpace = kPages * 256;

    CMotFile();
    virtual ~CMotFile();
    CMotFile(const CMotFile&) = delete;
    CMotFile& operator=(const CMotFile&) = delete;

    // 1 when read up to a termination record, or to the end of a file whose
    // last record is sound (tools that write no termination record), else 0.
    // Clears the image first. The image keeps what was read before a
    // failure; a refused record changes nothing. Nothing is shown:
    // LastStatus tells the caller why.
    //
    // Every record of a known type is checked in full, a type character that
    // is not a digit and the reserved S4 refuse the file, and an S5 or S6
    // count record must count the data records since the header. S0 records
    // are skipped; the first termination record ends the reading.
    int LoadFile(const std::string& path);
    // The same over an already open stream (opened in binary mode). `strict`
    // adds what a file for a production line must also pass: S0 only first
    // and sound, nothing but blank lines after the termination record, no
    // characters but blanks after a checksum, and no address given two
    // different values (a repeat of the same value is fine).
    int LoadStream(std::istream& in, bool strict = false);
    LoadStatus LastStatus() const { return status_; }
    // The line number of the record that was refused, for BadRecord / NotSRecord.
    unsigned LastLine() const { return lastLine_; }
    // Why, for BadRecord and NotSRecord: "bad record (digits, count or checksum)".
    const std::string& LastReason() const { return reason_; }

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
    std::string reason_;
};

// "0C0010 is given two values (5A, then 3C)": the byte the image holds at
// address, then the one a later record gives it.
std::string TwoValuesText(const CMotFile& image, uint32_t address, uint8_t value);

}  // namespace kv
