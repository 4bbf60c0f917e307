// The download: header and data on the wire, the checksum, the range limits
// of both modes, the answers of the boot loader, Cancel.
#include <gtest/gtest.h>

#include <numeric>
#include <optional>

#include "ops/download_cmd.h"
#include "res/templates.h"
#include "tests/composite/composite_rig.h"

namespace {

using kv::Edition;
using kvtest::Chunk;
using kvtest::ConfirmRange;
using kvtest::LinkRig;
using kvtest::Pattern;

uint8_t Sum(const std::vector<uint8_t>& v) { return static_cast<uint8_t>(std::accumulate(v.begin(), v.end(), 0u)); }

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// A boot loader that takes the announced length of data and then answers
// `result` (nothing when empty).
struct ResultLoader {
    std::vector<uint8_t> result;
    size_t need = 0, got = 0;
    void operator()(kvtest::FakeSerialDevice& dev, const std::vector<uint8_t>& block) {
        if (need == 0 && block.size() >= 4 && block[0] == 0xFA) {
            need = 4 + (block[1] | (size_t{block[2]} << 8));
            got = 0;
        }
        got += block.size();
        if (need && got >= need) {
            need = 0;
            if (!result.empty()) dev.Deliver(result, dev.Clock().Now() + 5);
        }
    }
};

int RunDownload(LinkRig& rig) {
    kv::CDownloadCmd cmd(rig.App());
    return cmd.Run().Ok() ? 1 : 0;
}

// The status read that follows a download in the internal-flash mode.
std::vector<uint8_t> StatusAfterDownload(Edition e) {
    if (e == Edition::Kelvlite) return {0xEE, 0x05, 0x70, 0x06};
    return {0x70};
}

// A loader whose status says that the download's checksum matched.
void ChecksumMatches(LinkRig& rig) { rig.Loader().status = std::make_pair(uint8_t{0x80}, uint8_t{0x10}); }

TEST(Download, OnePageSendsHeaderAndPageInOneBlock) {
    for (Edition e : {Edition::Kelvane, Edition::Kelvlite}) {
        LinkRig rig(e);
        ChecksumMatches(rig);
        const auto data = Pattern(256, 3);
        kvtest::LoadImage(rig.App(), {{0x0C0000, data}});
        ConfirmRange(rig.Ui());
        rig.Ui().Press(tk::IDOK);  // "Download?"
        EXPECT_EQ(RunDownload(rig), 1);
        EXPECT_EQ(rig.Dev().SentBytes(), Concat({{0xFA, 0x00, 0x01, Sum(data)}, data, StatusAfterDownload(e)}));
        ASSERT_EQ(rig.Dev().Sent().size(), 260u + StatusAfterDownload(e).size());
        const auto boxes = rig.Ui().EventsOf(tk::ScriptEvent::Type::MessageBox);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "Download Completed.");
        EXPECT_EQ(boxes[0].icon, tk::Icon::None);
        EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
    }
}

TEST(Download, AbsentPagesGoOutAsZeroAndCountSoInTheChecksum) {
    LinkRig rig;
    auto first = Pattern(256, 1);
    std::vector<uint8_t> third(16, 0x42);  // the rest of its page is unwritten: 0xFF
    kvtest::LoadImage(rig.App(), {{0x0C0000, first}, {0x0C0200, third}});
    ConfirmRange(rig.Ui());
    rig.Ui().Press(tk::IDOK);
    RunDownload(rig);

    std::vector<uint8_t> page3(256, 0xFF);
    std::copy(third.begin(), third.end(), page3.begin());
    const std::vector<uint8_t> zeros(256, 0x00);
    const auto data = Concat({first, zeros, page3});
    EXPECT_EQ(rig.Dev().SentBytes(), Concat({{0xFA, 0x00, 0x03, Sum(data)}, data, {0x70}}));
    // The header and first page in one write, then one write per page, each
    // followed by the program interval.
    const auto& wire = rig.Dev().Sent();
    ASSERT_EQ(wire.size(), 4u + 768u + 1u);
    EXPECT_GE(wire[260].timeMs - wire[259].timeMs, 40u);
    EXPECT_GE(wire[516].timeMs - wire[515].timeMs, 40u);
}

TEST(Download, ChecksumOfAnErasedPageIsZero) {
    LinkRig rig;
    kvtest::LoadImage(rig.App(), {{0x0C0000, std::vector<uint8_t>(256, 0xFF)}});
    kv::CDownloadCmd cmd(rig.App());
    EXPECT_EQ(cmd.Checksum(0x0C0000, 0x0C00FF), 0x00);
    EXPECT_EQ(cmd.Checksum(0x0C0100, 0x0C01FF), 0x00);  // absent page: zeros
}

TEST(Download, BootLoaderModeLimitIs0x2A00) {
    struct Case {
        std::string end;
        bool sent;
    } cases[] = {{"29FF", true}, {"2900", true}, {"2AFF", false}, {"2A00", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.end);
        LinkRig rig(Edition::Kelvane, 1);
        ResultLoader loader{{0x00, 0x00}};
        rig.Dev().SetResponder(std::ref(loader));
        ConfirmRange(rig.Ui(), "2800", c.end);
        if (c.sent) rig.Ui().Press(tk::IDOK);
        const int result = RunDownload(rig);
        if (c.sent) {
            EXPECT_EQ(result, 1);
            EXPECT_EQ(rig.Dev().Sent().size(), 4u + 0x200u);
            EXPECT_EQ(rig.Messages(), std::vector<std::string>({"Download Completed."}));
        } else {
            EXPECT_EQ(result, 0);
            EXPECT_TRUE(rig.Dev().Sent().empty());
            const auto boxes = rig.Ui().EventsOf(tk::ScriptEvent::Type::MessageBox);
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, "Too higher end address(0x2A00)");
            EXPECT_EQ(boxes[0].icon, tk::Icon::Exclamation);
        }
    }
}

TEST(Download, BootLoaderProposalCoversPagesBelow0x2C00AndIsRefusedAbove0x2A00) {
    LinkRig rig(Edition::Kelvane, 1);
    kvtest::LoadImage(rig.App(), {{0x2000, {1, 2, 3}}, {0x2B00, {4}}, {0x2C00, {5}}});
    ConfirmRange(rig.Ui());
    EXPECT_EQ(RunDownload(rig), 0);
    EXPECT_EQ(rig.App().rememberedEnd, "002BFF");
    EXPECT_EQ(rig.Messages(), std::vector<std::string>({"Too higher end address(0x2A00)"}));
    EXPECT_TRUE(rig.Dev().Sent().empty());
}

TEST(Download, BootLoaderAnswers) {
    struct Case {
        std::vector<uint8_t> reply;
        int result;
        std::optional<std::string> message;
        tk::Icon icon;
    } cases[] = {
        {{0x12, 0x00}, 1, "Download Completed.", tk::Icon::None},
        {{0x12, 0x01}, 0, "Download not completed.\nPlease retry Download.", tk::Icon::Exclamation},
        {{}, 0, "Download not completed.\nPlease retry Download.", tk::Icon::Exclamation},
        {{0x12}, 0, "Download not completed.\nPlease retry Download.", tk::Icon::Exclamation},
        // Only "completed" is success.
        {{0x12, 0x07}, 0, "Download not completed.\nPlease retry Download.", tk::Icon::Exclamation},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply.size() > 1 ? int(c.reply[1]) : -1);
        LinkRig rig(Edition::Kelvane, 1);
        ResultLoader loader{c.reply};
        rig.Dev().SetResponder(std::ref(loader));
        kvtest::LoadImage(rig.App(), {{0x2000, Pattern(256, 9)}});
        ConfirmRange(rig.Ui());
        rig.Ui().Press(tk::IDOK);
        EXPECT_EQ(RunDownload(rig), c.result);
        const auto boxes = rig.Ui().EventsOf(tk::ScriptEvent::Type::MessageBox);
        if (c.message) {
            // No recovery after a missing answer: this is the only box.
            ASSERT_EQ(boxes.size(), 1u) << rig.Ui().TranscriptText();
            EXPECT_EQ(boxes[0].text, *c.message);
            EXPECT_EQ(boxes[0].icon, c.icon);
        } else {
            EXPECT_TRUE(boxes.empty());
        }
        EXPECT_EQ(rig.Dev().Sent().size(), 260u);
        EXPECT_FALSE(rig.Ui().QuitRequested());
    }
}

TEST(Download, SimulatedBootLoaderReceivesTheRangeAndConfirms) {
    sim::Options o;
    o.mode = sim::Mode::Bootloader;
    kvtest::SimRig rig(o, Edition::Kelvane, 1);
    ASSERT_EQ(rig.App().Synchronise(), 1);
    const auto a = Pattern(256, 5);
    kvtest::LoadImage(rig.App(), {{0x2000, a}, {0x2200, {0x10, 0x20}}});
    ConfirmRange(rig.Ui());
    rig.Ui().Press(tk::IDOK);
    EXPECT_EQ(RunDownload(rig), 1);
    std::vector<uint8_t> third(256, 0xFF);
    third[0] = 0x10;
    third[1] = 0x20;
    EXPECT_EQ(rig.chip.LastDownload(), Concat({a, std::vector<uint8_t>(256, 0x00), third}));
    EXPECT_EQ(rig.Messages(), std::vector<std::string>({"Download Completed."}));
}

// A longer range could not be announced in the 16-bit length field: refused
// before any traffic instead of announcing a truncated length.
TEST(Download, InternalFlashModeRefusesSixtyFourKiB) {
    {
        LinkRig rig;
        ConfirmRange(rig.Ui(), "0C0000", "0CFFFF");
        EXPECT_EQ(RunDownload(rig), 0);
        EXPECT_TRUE(rig.Dev().Sent().empty());
        const auto boxes = rig.Ui().EventsOf(tk::ScriptEvent::Type::MessageBox);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, rig.App().String(kv::IDS_TOO_LARGE_DOWNLOAD));
        EXPECT_FALSE(boxes[0].text.empty());
        EXPECT_EQ(boxes[0].icon, tk::Icon::Exclamation);
        EXPECT_EQ(rig.Ui().EventsOf(tk::ScriptEvent::Type::DialogOpened).size(), 1u);  // no "Download?"
    }
    {
        LinkRig rig;  // one page less fits: length FF00h
        ChecksumMatches(rig);
        ConfirmRange(rig.Ui(), "0C0000", "0CFEFF");
        rig.Ui().Press(tk::IDOK);
        EXPECT_EQ(RunDownload(rig), 1);
        const auto sent = rig.Dev().SentBytes();
        ASSERT_EQ(sent.size(), 4u + 0xFF00u + 1u);
        EXPECT_EQ(std::vector<uint8_t>(sent.begin(), sent.begin() + 3), std::vector<uint8_t>({0xFA, 0x00, 0xFF}));
    }
}

TEST(Download, RangeRefusalsSendNothing) {
    struct Case {
        std::string start, end;
        int message;
    } cases[] = {
        {"0C0100", "0C0000", kv::IDS_TOO_SMALL_START},
        {"FFFF00", "1000000", kv::IDS_ADDRESS_OUT_OF_RANGE},
    };
    for (const auto& c : cases) {
        LinkRig rig;
        ConfirmRange(rig.Ui(), c.start, c.end);
        EXPECT_EQ(RunDownload(rig), 0);
        EXPECT_TRUE(rig.Dev().Sent().empty());
        EXPECT_EQ(rig.Messages(), std::vector<std::string>({rig.App().String(c.message)}));
    }
}

TEST(Download, CancelAtTheConfirmationSendsNothing) {
    LinkRig rig;
    kvtest::LoadImage(rig.App(), {{0x0C0000, {1}}});
    ConfirmRange(rig.Ui());
    rig.Ui().Press(tk::IDCANCEL);
    EXPECT_EQ(RunDownload(rig), 0);
    EXPECT_TRUE(rig.Dev().Sent().empty());
    const auto boxes = rig.Ui().EventsOf(tk::ScriptEvent::Type::MessageBox);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Stop downloading.");
    EXPECT_EQ(boxes[0].icon, tk::Icon::None);
}

TEST(Download, CancelDuringTheTransferStopsAfterThePageAndReadsNoAnswer) {
    LinkRig rig(Edition::Kelvane, 1);
    ResultLoader loader{{0x00, 0x00}};
    rig.Dev().SetResponder(std::ref(loader));
    kvtest::LoadImage(rig.App(), {{0x2000, Pattern(0x400, 2)}});
    ConfirmRange(rig.Ui());
    rig.Ui().Press(tk::IDOK).CancelProgressAfter(2);
    rig.Ui().Answer(tk::IDOK, "Stop downloading.").Answer(tk::IDCANCEL);  // the recovery: the user quits
    EXPECT_EQ(RunDownload(rig), 0);
    EXPECT_EQ(rig.Dev().Sent().size(), 4u + 2 * 256u);  // announced four pages, sent two
    const auto boxes = rig.Ui().EventsOf(tk::ScriptEvent::Type::MessageBox);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Stop downloading.");
    EXPECT_EQ(boxes[0].icon, tk::Icon::Information);
    EXPECT_NE(boxes[1].text.find("Push RESET."), std::string::npos);
    EXPECT_TRUE(rig.Ui().ModelessWindows().empty());
}

// After a cancelled transfer the boot loader still waits for the rest of the
// announced data: the recovery asks for the reset and rebuilds the link, so
// the next exchanges (here Exit's return to 9600 bps and a version query)
// are answered as they should be. A Cancel after the last page stops
// nothing: the boot loader's answer is read and reported as usual.
TEST(Download, CancelledTransferLeavesTheLinkToTheRecovery) {
    for (int cancelAt : {2, 4}) {
        SCOPED_TRACE(cancelAt);
        sim::Options o;
        o.mode = sim::Mode::Bootloader;
        kvtest::SimRig rig(o, Edition::Kelvane, 1);
        rig.Dev().SetWriteWaitsForWire(true);
        ASSERT_EQ(rig.App().Synchronise(), 1);
        rig.App().linkReady = 1;
        kvtest::LoadImage(rig.App(), {{0x2000, Pattern(0x400, 2)}});
        ConfirmRange(rig.Ui());
        const bool whole = cancelAt == 4;
        rig.Ui().Press(tk::IDOK).CancelProgressAfter(cancelAt);
        rig.Ui().Answer(tk::IDOK, whole ? "Download Completed." : "Stop downloading.");
        if (!whole) {
            // The user pushes RESET as the recovery asks: the chip has reset
            // by the time the recovery wakes it.
            rig.chip.MutableFaults().resetAfterBytes = rig.chip.Transcript().size() + 4 + 2 * 256;
            rig.Ui().Answer(tk::IDOK).Press(tk::IDOK);  // the recovery, then "Set baudrate" at 9600 bps
        }
        EXPECT_EQ(RunDownload(rig), whole ? 1 : 0);
        EXPECT_EQ(rig.Messages().size(), whole ? 1u : 2u) << rig.Ui().TranscriptText();
        EXPECT_EQ(rig.App().linkReady, 1);

        rig.App().ResetTo9600();
        EXPECT_EQ(rig.Messages().size(), whole ? 1u : 2u) << rig.Ui().TranscriptText();
        rig.Dev().ClearSent();
        rig.Channel().Purge();
        const uint8_t query = kv::kVersionRead;
        rig.Channel().Write(&query, 1);
        char text[8] = {};
        ASSERT_EQ(rig.Channel().Read(text, sizeof text), 8);
        EXPECT_EQ(std::string(text, 8), "VER.2.05");
    }
}

TEST(Download, KelvlitePanelKeepsTheButtonHiddenAndDisabled) {
    const tk::Control* button = nullptr;
    for (const auto& c : kv::PanelTemplate(Edition::Kelvlite).controls)
        if (c.label == "Download...") button = &c;
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->style & tk::kHidden);
    EXPECT_TRUE(button->style & tk::kDisabled);
}

}  // namespace
