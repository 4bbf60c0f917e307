// The version window: the text, the trace, a silent chip, kelvlite's routines.
#include <gtest/gtest.h>

#include "app/dialogs/version_dlg.h"
#include "query/version_cmd.h"
#include "tests/query/query_rig.h"

namespace {

using kv::Edition;
using kvtest::QueryRig;

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

std::string ShownVersion(QueryRig& rig) {
    EXPECT_EQ(rig.Ui().shown.size(), 1u);
    if (rig.Ui().shown.empty()) return "<no window>";
    EXPECT_EQ(rig.Ui().shown[0].templateId, kv::IDD_VERSION);
    return rig.Ui().shown[0].fields.at(kv::CVersionDlg::IDC_VERSION);
}

TEST(VersionWindow, ShowsTheTextAndTracesOldOrNew) {
    struct Case {
        std::string reply, shown, trace;
    } cases[] = {
        {"VER.2.05", "VER.2.05", " old \n"},
        {"VER.2.02", "VER.2.02", " old \n"},
        {"VER.2.01", "VER.2.01", " new \n"},
        {"VER.1.00", "VER.1.00", " new \n"},
        {std::string("VER\0.2.9", 8), "VER", " new \n"},  // a zero byte ends the text
        {"\xC0VER.2.0", "\xC0VER.2.0", " old \n"},        // bytes compare unsigned
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        QueryRig rig(Edition::Kelvane);
        rig.versionReply = Bytes(c.reply);
        kv::CVersionCmd cmd(rig.App());
        EXPECT_TRUE(cmd.Run().Ok());
        EXPECT_EQ(ShownVersion(rig), c.shown);
        EXPECT_EQ(rig.Ui().Traces(), std::vector<std::string>({c.trace}));
        EXPECT_EQ(rig.Dev().SentBytes(), std::vector<uint8_t>({0xFB}));
    }
}

TEST(VersionWindow, SilentOrShortReplyShowsErrorWithoutRecovery) {
    for (Edition e : {Edition::Kelvane, Edition::Kelvlite}) {
        for (const std::string reply : {"", "VER.2"}) {
            QueryRig rig(e);
            rig.versionReply = Bytes(reply);
            kv::CVersionCmd cmd(rig.App());
            EXPECT_EQ(cmd.Run().kind, kv::OutcomeKind::LinkLost);  // shown, but not answered
            EXPECT_EQ(ShownVersion(rig), "ERROR");
            EXPECT_TRUE(rig.Ui().MessageTexts().empty()) << rig.Ui().TranscriptText();
            EXPECT_EQ(rig.App().Channel().Timeout(), 5000u);
            // "ERROR" sorts below the reference.
            EXPECT_EQ(rig.Ui().Traces(), std::vector<std::string>({" new \n"}));
            // kelvlite skips the handshake after a missing reply.
            const std::vector<uint8_t> expected =
                e == Edition::Kelvlite ? std::vector<uint8_t>{0xEE, 9, 0xFB} : std::vector<uint8_t>{0xFB};
            EXPECT_EQ(rig.Dev().SentBytes(), expected);
        }
    }
}

TEST(VersionWindow, NinthByteStaysQueued) {
    QueryRig rig(Edition::Kelvane);
    rig.versionReply = Bytes("VER.2.05!");
    kv::CVersionCmd cmd(rig.App());
    cmd.Run();
    EXPECT_EQ(ShownVersion(rig), "VER.2.05");
    uint8_t extra = 0;
    ASSERT_EQ(rig.App().Channel().Read(&extra, 1), 1);
    EXPECT_EQ(extra, '!');
}

TEST(VersionWindow, KelvliteLoadsTheRoutineAndEndsWithTheHandshake) {
    QueryRig rig(Edition::Kelvlite);
    rig.versionReply = Bytes("VER.1.10");
    kv::CVersionCmd cmd(rig.App());
    EXPECT_TRUE(cmd.Run().Ok());
    EXPECT_EQ(ShownVersion(rig), "VER.1.10");
    EXPECT_EQ(rig.Dev().SentBytes(), std::vector<uint8_t>({0xEE, 9, 0xFB, 0x06}));
    EXPECT_EQ(rig.Ui().Traces(), std::vector<std::string>({" new \n"}));
}

}  // namespace
