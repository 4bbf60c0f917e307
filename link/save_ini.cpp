#include "link/save_ini.h"

#include <algorithm>

namespace kv {

namespace {
const char kCommSection[] = "Last Comm State";
const char kBaudKey[] = "Baundrate";  // spelled so in every settings file
const char kByteKey[] = "Byte";
const char kStopKey[] = "Stop Bit";
const char kParityKey[] = "Parity";
const char kModeSection[] = "mode_info";
const char kDefaultTypeKey[] = "Default_Type";
const char kFirstDataKey[] = "First_data";

// What a serial line can take: 5 to 8 data bits; stop-bit and parity codes 0 to 2.
constexpr int kMinByteSize = 5;
constexpr int kMaxByteSize = 8;
constexpr int kMaxLineCode = 2;
// Longest page-read time-out taken from the file.
constexpr uint32_t kMaxPageReadMs = 60000;

}  // namespace

CSaveIni::CSaveIni(plat::IProfile& profile, TraceLine trace) : profile_(profile), trace_(std::move(trace)) {}

void CSaveIni::SetCommState(uint32_t baud, uint8_t byteSize, uint8_t stopBits, uint8_t parity) {
    baud_ = baud;
    byteSize_ = byteSize;
    stopBits_ = stopBits;
    parity_ = parity;
}

void CSaveIni::GetCommState(uint32_t& baud, uint8_t& byteSize, uint8_t& stopBits, uint8_t& parity) const {
    baud = baud_;
    byteSize = byteSize_;
    stopBits = stopBits_;
    parity = parity_;
}

void CSaveIni::WriteCommState() {
    profile_.Set(kCommSection, kBaudKey, std::to_string(baud_));
    profile_.Set(kCommSection, kByteKey, std::to_string(byteSize_));
    profile_.Set(kCommSection, kStopKey, std::to_string(stopBits_));
    profile_.Set(kCommSection, kParityKey, std::to_string(parity_));
}

int CSaveIni::ReadCommState() {
    // A value the line cannot take (a hand-edited file) counts as absent, as
    // a rate of 0 does; it is never wrapped into another value.
    const int baud = plat::GetProfileInt(profile_, kCommSection, kBaudKey, 0);
    baud_ = baud > 0 ? static_cast<uint32_t>(baud) : 0;
    if (baud_ == 0) return 0;
    const int byteSize = plat::GetProfileInt(profile_, kCommSection, kByteKey, 0);
    byteSize_ = byteSize >= kMinByteSize && byteSize <= kMaxByteSize ? static_cast<uint8_t>(byteSize) : 0;
    if (byteSize_ == 0) return 0;
    if (!profile_.Get(kCommSection, kStopKey) || !profile_.Get(kCommSection, kParityKey)) return 0;
    const int stopBits = plat::GetProfileInt(profile_, kCommSection, kStopKey, 0);
    const int parity = plat::GetProfileInt(profile_, kCommSection, kParityKey, 0);
    if (stopBits < 0 || stopBits > kMaxLineCode || parity < 0 || parity > kMaxLineCode) return 0;
    stopBits_ = static_cast<uint8_t>(stopBits);
    parity_ = static_cast<uint8_t>(parity);
    return 1;
}

void CSaveIni::WriteDefaultType() { profile_.Set(kModeSection, kDefaultTypeKey, defaultType_); }

const std::string& CSaveIni::ReadDefaultType() {
    defaultType_ = profile_.Get(kModeSection, kDefaultTypeKey).value_or("");
    return defaultType_;
}

void CSaveIni::WriteFirstData() {
    profile_.Set(kModeSection, kFirstDataKey, firstData_);
    const std::string line = "Z_Type = " + firstData_ + " \n";
    if (trace_) trace_(line);
}

const std::string& CSaveIni::ReadFirstData() {
    firstData_ = profile_.Get(kModeSection, kFirstDataKey).value_or("");
    const std::string line = "Z_TYPE = " + firstData_ + "\n";
    if (trace_) trace_(line);
    return firstData_;
}

uint32_t CSaveIni::ReadPageReadTimeout(uint32_t fallback) {
    // 0 would mean "no time-out": a lost reply would hold the program for
    // ever. 0, a negative value and one that is no number (read as 0) count
    // as absent.
    const int ms = plat::GetProfileInt(profile_, "timeout", "pageread", 0);
    if (ms <= 0) return fallback;
    return std::min(static_cast<uint32_t>(ms), kMaxPageReadMs);
}

bool CIniLinkSettings::StoredCommState(CommState& state) {
    CSaveIni ini(profile_, trace_);
    if (!ini.ReadCommState()) return false;
    ini.GetCommState(state.baud, state.byteSize, state.stopBits, state.parity);
    return true;
}

void CIniLinkSettings::StoreCommState(const CommState& state) {
    CSaveIni ini(profile_, trace_);
    ini.SetCommState(state.baud, state.byteSize, state.stopBits, state.parity);
    ini.WriteCommState();
}

bool CIniLinkSettings::EraseBlockByBlock() { return CSaveIni(profile_, trace_).ReadDefaultType() == "+a"; }

bool CIniLinkSettings::SyncBeginsWithB0() { return CSaveIni(profile_, trace_).ReadFirstData() == "+Z"; }

void CIniLinkSettings::RewriteEraseVariant() {
    CSaveIni ini(profile_, trace_);
    ini.ReadDefaultType();
    ini.WriteDefaultType();
}

uint32_t CIniLinkSettings::PageReadTimeout(uint32_t fallback) {
    return CSaveIni(profile_, trace_).ReadPageReadTimeout(fallback);
}

}  // namespace kv
