#include "image/mot_file.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <utility>

#include "image/line_reader.h"
#include "image/srec_record.h"
#include "image/text_file.h"
#include "image/written_bytes.h"

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

int CMotFile::LoadStream(std::istream& in, bool strict) {
    Clear();
    lastLine_ = 0;
    reason_.clear();
    LineReader reader(in, kMaxRecordLine);
    SRecord record;
    WrittenBytes written;  // strict only
    std::string_view line;
    auto refuse = [&](LoadStatus status, std::string reason) {
        status_ = status;
        lastLine_ = reader.LineNumber();
        reason_ = std::move(reason);
        return 0;
    };
    bool sound = false;  // the last record read was whole and sound
    bool anyRecord = false;
    bool terminated = false;   // strict: only blank lines may follow
    uint32_t dataRecords = 0;  // since the header, for a count record
    while (reader.Next(line)) {
        if (reader.Overlong())
            return refuse(line[0] == 'S' ? LoadStatus::BadRecord : LoadStatus::NotSRecord, "line too long");
        if (terminated) {
            if (HoldsNoRecord(line)) continue;
            return refuse(LoadStatus::BadRecord, "data after the termination record");
        }
        const RecordKind kind = ParseSRecord(line, record);
        switch (kind) {
            case RecordKind::Blank: continue;
            case RecordKind::NotSRecord: return refuse(LoadStatus::NotSRecord, "not an S-record");
            case RecordKind::UnknownType: return refuse(LoadStatus::BadRecord, "unknown record type");
            case RecordKind::Reserved: return refuse(LoadStatus::BadRecord, "unknown record type S4");
            case RecordKind::Bad:
                // The header carries no meaning to the dialog programs: read or not.
                if (record.type == 0 && !strict) break;
                return refuse(LoadStatus::BadRecord, record.type >= 7   ? "bad termination record"
                                                     : record.type >= 5 ? "bad count record"
                                                                        : "bad record (digits, count or checksum)");
            default: break;
        }
        if (strict && kind != RecordKind::Bad && record.trailing)
            return refuse(LoadStatus::BadRecord, "characters after the checksum");
        switch (kind) {
            case RecordKind::Header:
                // A damaged type character can turn a data record into a header.
                if (strict && anyRecord) return refuse(LoadStatus::BadRecord, "header record (S0) after other records");
                dataRecords = 0;
                break;
            case RecordKind::Count:
                if (record.address != (dataRecords & (record.type == 5 ? 0xFFFFu : 0xFFFFFFu)))
                    return refuse(LoadStatus::BadRecord, "the count record says " + std::to_string(record.address) +
                                                             " data records, " + std::to_string(dataRecords) +
                                                             " came before it");
                break;
            case RecordKind::Termination:
                if (!strict) {
                    status_ = LoadStatus::Complete;
                    return 1;
                }
                terminated = true;
                break;
            case RecordKind::Data: {
                // Nothing may lie outside the table, not even an empty record's page.
                if (record.address >= kAddressSpace || record.size > kAddressSpace - record.address)
                    return refuse(LoadStatus::BadRecord, "data beyond 0xFFFFFF");
                if (strict) {
                    if (const auto at = written.Conflict(*this, record.address, record.data.data(), record.size))
                        return refuse(LoadStatus::BadRecord,
                                      TwoValuesText(*this, *at, record.data[*at - record.address]));
                    written.Mark(record.address, record.size);
                }
                Store(record.address, record.data.data(), record.size);
                ++dataRecords;
                break;
            }
            default: break;
        }
        anyRecord = true;
        sound = kind != RecordKind::Bad;
    }
    if (reader.ReadFailed()) {
        Clear();
        status_ = LoadStatus::CannotOpen;
        return 0;
    }
    // srec_cat and others may end a file without a termination record; a
    // file cut inside a record ends on one that is not sound.
    if (terminated || sound) {
        status_ = LoadStatus::Complete;
        return 1;
    }
    status_ = LoadStatus::NoTermination;
    return 0;
}

std::string TwoValuesText(const CMotFile& image, uint32_t address, uint8_t value) {
    const CLineImage* page = image.Page(address >> 8);
    char text[80];
    std::snprintf(text, sizeof text, "%06X is given two values (%02X, then %02X)", static_cast<unsigned>(address),
                  page ? page->Bytes()[address & 0xFF] : 0xFF, value);
    return text;
}

}  // namespace kv
