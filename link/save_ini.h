#pragma once
// The values kept between runs in the program's settings file: the last
// communication state that worked, the start-up switches and the page-read
// time-out. Built on the stack for one use; nothing stays open.
#include <cstdint>
#include <functional>
#include <string>

#include "link/link_settings.h"
#include "platform/profile.h"

namespace kv {

// Receives the "First_data" trace lines.
using TraceLine = std::function<void(const std::string& line)>;

class CSaveIni {
public:
    // `trace` receives the "First_data" trace lines; none: no trace.
    CSaveIni(plat::IProfile& profile, TraceLine trace);
    virtual ~CSaveIni() = default;

    // "Last Comm State": held values, no file access.
    void SetCommState(uint32_t baud, uint8_t byteSize, uint8_t stopBits, uint8_t parity);
    void GetCommState(uint32_t& baud, uint8_t& byteSize, uint8_t& stopBits, uint8_t& parity) const;
    void WriteCommState();
    // 1 when a usable state is stored (a positive baud rate, 5 to 8 data
    // bits, "Stop Bit" and "Parity" present with codes 0 to 2). Values read
    // that the line can take stay held either way.
    int ReadCommState();

    // "Default_Type" of "mode_info": "+a" or "-a"; empty when missing.
    void SetDefaultType(const std::string& value) { defaultType_ = value; }
    const std::string& GetDefaultType() const { return defaultType_; }
    void WriteDefaultType();
    const std::string& ReadDefaultType();

    // "First_data" of "mode_info": "+Z" or "-Z"; empty when missing.
    void SetFirstData(const std::string& value) { firstData_ = value; }
    const std::string& GetFirstData() const { return firstData_; }
    void WriteFirstData();
    const std::string& ReadFirstData();

    // "pageread" of "timeout" (hand-edited), at most 60000 ms; `fallback`
    // when it is missing, empty, no number, 0 or negative.
    uint32_t ReadPageReadTimeout(uint32_t fallback);

private:
    plat::IProfile& profile_;
    TraceLine trace_;
    uint32_t baud_ = 0;
    uint8_t byteSize_ = 0;
    uint8_t stopBits_ = 0;
    uint8_t parity_ = 0;
    std::string defaultType_;
    std::string firstData_;
};

// The link's settings kept in the settings file, a CSaveIni for each use.
class CIniLinkSettings : public ILinkSettings {
public:
    CIniLinkSettings(plat::IProfile& profile, TraceLine trace) : profile_(profile), trace_(std::move(trace)) {}

    bool StoredCommState(CommState& state) override;
    void StoreCommState(const CommState& state) override;
    bool EraseBlockByBlock() override;
    bool SyncBeginsWithB0() override;
    void RewriteEraseVariant() override;
    uint32_t PageReadTimeout(uint32_t fallback) override;

private:
    plat::IProfile& profile_;
    TraceLine trace_;
};

}  // namespace kv
