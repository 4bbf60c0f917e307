// The message table: what the two programs share and where they differ.
#include "res/strings.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(Strings, SharedTextsAndEditionDifferences) {
    struct Case {
        int id;
        std::string kelvane, kelvlite;
    };
    const std::string companion = std::string("kelvlite.exe not found !!\r Please access to\r \"") + kHomePage + "\"";
    const Case cases[] = {
        {IDS_ABOUTBOX, "&About Kelvix...", "&About Kelvix..."},
        {IDS_TITLE, "Kelvane", "Kelvane"},  // every caption, in both programs
        {IDS_ALREADY_RUNNING, "This program is already running.", "This program is already running."},
        {IDS_NOT_BLANK, "Find not blank at address\r", "Find not blank at address\r"},
        {1032, "Can not set new communication state.\nPush RESET.\nEnd this program once, and restart.",
         "Can not set new communication state.\nPush RESET.\nEnd this program once, and restart."},
        {IDS_COMPANION_NOT_FOUND, companion, ""},     // kelvane only
        {IDS_BLANK_CHECK_OK, "", "Blank Check OK."},  // kelvlite only
        {IDS_READ_CHECK_OK, "", "Read Check OK."},
        {1115, "FFDA", "FFDA"},
        {999, "", ""},  // no such message
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LoadString(Edition::Kelvane, c.id), c.kelvane) << c.id;
        EXPECT_EQ(LoadString(Edition::Kelvlite, c.id), c.kelvlite) << c.id;
    }
    EXPECT_EQ(std::string(kHomePage).rfind("https://", 0), 0u);
}

}  // namespace
}  // namespace kv
