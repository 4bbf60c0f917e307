// The settings file: which stored communication states count, what is
// written, the switches and the page-read time-out.
#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "link/save_ini.h"
#include "tests/support/memory_profile.h"

namespace {

using kv::CSaveIni;

const char kComm[] = "Last Comm State";

TEST(SaveIni, ReadCommStateAbsentRules) {
    struct Case {
        const char* name;
        std::map<std::string, std::string> keys;  // missing key = not in the map
        int stored;
    };
    const std::map<std::string, std::string> full = {
        {"Baundrate", "38400"}, {"Byte", "7"}, {"Stop Bit", "1"}, {"Parity", "2"}};
    auto without = [&](const std::string& key) {
        auto m = full;
        m.erase(key);
        return m;
    };
    auto with = [&](const std::string& key, const std::string& value) {
        auto m = full;
        m[key] = value;
        return m;
    };
    const Case cases[] = {
        {"complete", full, 1},
        {"no file", {}, 0},
        {"baud 0", with("Baundrate", "0"), 0},
        {"baud missing", without("Baundrate"), 0},
        {"baud negative", with("Baundrate", "-9600"), 0},
        {"byte 0", with("Byte", "0"), 0},
        {"byte missing", without("Byte"), 0},
        {"stop bit missing", without("Stop Bit"), 0},
        {"parity missing", without("Parity"), 0},
        {"parity empty counts as 0", with("Parity", ""), 1},
        // Values the line cannot take count as absent rather than wrap.
        {"byte 300", with("Byte", "300"), 0},
        {"byte 4", with("Byte", "4"), 0},
        {"byte 9", with("Byte", "9"), 0},
        {"stop bit 9", with("Stop Bit", "9"), 0},
        {"stop bit 3", with("Stop Bit", "3"), 0},
        {"parity 7", with("Parity", "7"), 0},
        {"parity negative", with("Parity", "-1"), 0},
        {"parity 258 (2 when wrapped)", with("Parity", "258"), 0},
    };
    for (const auto& c : cases) {
        kvtest::MemoryProfile profile;
        for (const auto& [k, v] : c.keys) profile.Set(kComm, k, v);
        CSaveIni ini(profile, nullptr);
        EXPECT_EQ(ini.ReadCommState(), c.stored) << c.name;
    }
}

TEST(SaveIni, ValuesReadStayHeldWhenTheStateIsAbsent) {
    kvtest::MemoryProfile profile;
    profile.Set(kComm, "Baundrate", "19200");
    profile.Set(kComm, "Byte", "8");
    profile.Set(kComm, "Stop Bit", "1");  // no "Parity"
    CSaveIni ini(profile, nullptr);
    ini.SetCommState(1, 2, 3, 4);
    EXPECT_EQ(ini.ReadCommState(), 0);
    uint32_t baud = 0;
    uint8_t size = 0, stop = 0, parity = 0;
    ini.GetCommState(baud, size, stop, parity);
    EXPECT_EQ(baud, 19200u);
    EXPECT_EQ(size, 8);
    EXPECT_EQ(stop, 3);  // not taken: the group is incomplete
    EXPECT_EQ(parity, 4);
}

TEST(SaveIni, WriteCommStateAsDecimalTextAndReadBack) {
    kvtest::MemoryProfile profile;
    {
        CSaveIni ini(profile, nullptr);
        ini.SetCommState(115200, 7, 2, 1);
        ini.WriteCommState();
    }
    EXPECT_EQ(profile.Get(kComm, "Baundrate"), "115200");
    EXPECT_EQ(profile.Get(kComm, "Byte"), "7");
    EXPECT_EQ(profile.Get(kComm, "Stop Bit"), "2");
    EXPECT_EQ(profile.Get(kComm, "Parity"), "1");
    CSaveIni again(profile, nullptr);
    ASSERT_EQ(again.ReadCommState(), 1);
    uint32_t baud = 0;
    uint8_t size = 0, stop = 0, parity = 0;
    again.GetCommState(baud, size, stop, parity);
    EXPECT_EQ(baud, 115200u);
    EXPECT_EQ(size, 7);
    EXPECT_EQ(stop, 2);
    EXPECT_EQ(parity, 1);
}

TEST(SaveIni, SwitchesReadEmptyWhenMissingAndWriteBack) {
    kvtest::MemoryProfile profile;
    CSaveIni ini(profile, nullptr);
    EXPECT_EQ(ini.ReadDefaultType(), "");
    EXPECT_EQ(ini.ReadFirstData(), "");
    ini.WriteDefaultType();  // an absent key becomes an empty value
    EXPECT_EQ(profile.Get("mode_info", "Default_Type"), "");
    ini.SetDefaultType("+a");
    ini.SetFirstData("+Z");
    ini.WriteDefaultType();
    ini.WriteFirstData();
    CSaveIni again(profile, nullptr);
    EXPECT_EQ(again.ReadDefaultType(), "+a");
    EXPECT_EQ(again.ReadFirstData(), "+Z");
    EXPECT_EQ(again.GetFirstData(), "+Z");
}

TEST(SaveIni, PageReadTimeout) {
    kvtest::MemoryProfile profile;
    CSaveIni ini(profile, nullptr);
    EXPECT_EQ(ini.ReadPageReadTimeout(5000), 5000u);
    profile.Set("timeout", "pageread", "3000");
    EXPECT_EQ(ini.ReadPageReadTimeout(5000), 3000u);
    profile.Set("timeout", "pageread", "-1");
    EXPECT_EQ(ini.ReadPageReadTimeout(150), 150u);
    // 0 would be "wait for ever": like an empty value or no number, it is
    // absent. Long values are capped.
    const std::pair<const char*, uint32_t> table[] = {
        {"0", 150}, {"", 150}, {"abc", 150}, {" ", 150}, {"60000", 60000}, {"60001", 60000}, {"99999999999", 60000},
    };
    for (const auto& [text, want] : table) {
        profile.Set("timeout", "pageread", text);
        EXPECT_EQ(ini.ReadPageReadTimeout(150), want) << '"' << text << '"';
    }
}

}  // namespace
