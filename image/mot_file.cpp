#include "image/mot_file.h"

#include <utility>

#include <cstring>
#include <fstream>

#include "image/line_reader.h"
#include "image/srec_record.h"
#include "image/text_file.h"

namespace kv {

int CLineImage::Write(const uint8_t* source, uint32_t address, uint32_t count) {
    std::memcpy(data_.data() + (address & 0xFF), source, count);
    return 1;
}

void CLineImage::Read(uint8_t* destination) const { std::memcpy(destination, data_.data(), data_.size()); }

CMotFile::CMotFile() : pages_(std::make_unique<std::unique_ptr<CLineImage>[]>(kPages)) {}

CMotFile::~CMotFile() = default;

void CMotFile::Swap(CMotFile& other) {
    std::swap(pages_, other.pages_);
    std::swap(present_, other.present_);
    std::swap(status_, other.status_);
    std::swap(lastLine_, other.lastLine_);
}

void CMotFile::Clear() {
    // Only present pages own memory; visit them rather than every slot.
    present_.ForEach([this](uint32_t page) { pages_[page].reset(); });
    present_.Clear();
}

size_t CMotFile::PageCount() const { return present_.Count(); }

const CLineImage* CMotFile::Page(uint32_t pageIndex) const {
    return pageIndex < kPages ? pages_[pageIndex].get() : nullptr;
}

const CLineImage* CMotFile::GetPage(uint8_t* buffer, uint32_t pageIndex) const {
    const CLineImage* page = Page(pageIndex);
    if (page) page->Read(buffer);
    return page;
}

CLineImage& CMotFile::Touch(uint32_t pageIndex) {
    auto& slot = pages_[pageIndex];
    if (!slot) {
        slot = std::make_unique<CLineImage>();
        present_.Insert(pageIndex);
    }
    return *slot;
}

// The record has been checked to lie inside the address space; a zero-length
// record still creates the page of its address.
void CMotFile::Store(uint32_t address, const uint8_t* data, uint32_t size) {
    const uint32_t offset = address & 0xFF;
    const uint32_t first = size < 256 - offset ? size : 256 - offset;
    Touch(address >> 8).Write(data, address, first);
    if (first < size) Touch((address >> 8) + 1).Write(data + first, 0, size - first);
}

bool CMotFile::Put(uint32_t address, const uint8_t* data, uint32_t size) {
    if (address >= kAddressSpace || size > kAddressSpace - address) return false;
    do {
        const uint32_t chunk = size < 256 ? size : 256;
        Store(address, data, chunk);
        address += chunk;
        data += chunk;
        size -= chunk;
    } while (size > 0);
    return true;
}

int CMotFile::LoadFile(const std::string& path) {
    Clear();
    lastLine_ = 0;
    std::ifstream in;
    if (!OpenRegularFile(path, in)) {
        status_ = LoadStatus::CannotOpen;
        return 0;
    }
    return LoadStream(in);
}

int CMotFile::LoadStream(std::istream& in) {
    Clear();
    lastLine_ = 0;
    LineReader reader(in, kMaxRecordLine);
    SRecord record;
    std::string_view line;
    auto refuse = [&](LoadStatus status) {
        status_ = status;
        lastLine_ = reader.LineNumber();
        return 0;
    };
    while (reader.Next(line)) {
        if (reader.Overlong()) return refuse(line[0] == 'S' ? LoadStatus::BadRecord : LoadStatus::NotSRecord);
        switch (ParseSRecord(line, record)) {
        case RecordKind::Blank:
        case RecordKind::Skipped:
            break;
        case RecordKind::Termination:
            status_ = LoadStatus::Complete;
            return 1;
        case RecordKind::NotSRecord:
            return refuse(LoadStatus::NotSRecord);
        case RecordKind::Bad:
            return refuse(LoadStatus::BadRecord);
        case RecordKind::Data:
            // Nothing may lie outside the table, not even an empty record's page.
            if (record.address >= kAddressSpace || record.size > kAddressSpace - record.address)
                return refuse(LoadStatus::BadRecord);
            Store(record.address, record.data.data(), record.size);
            break;
        }
    }
    if (reader.ReadFailed()) {
        Clear();
        status_ = LoadStatus::CannotOpen;
        return 0;
    }
    status_ = LoadStatus::NoTermination;
    return 0;
}

}  // namespace kv
