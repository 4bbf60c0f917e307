// Moving the link between baud rates: the echo exchange, the port change,
// the failure messages, and the return to 9600 bps at exit.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/link/link_rig.h"

namespace {

using kv::Edition;
using kvtest::LinkRig;

TEST(BaudRateCode, Table) {
    const std::pair<uint32_t, uint8_t> cases[] = {{9600, 0xB0},   {19200, 0xB1}, {38400, 0xB2}, {57600, 0xB3},
                                                  {115200, 0xB4}, {4800, 0x00},  {0, 0x00}};
    for (auto [baud, code] : cases) EXPECT_EQ(kv::CKelvixApp::BaudRateCode(baud), code) << baud;
}

TEST(RestoreBaudRate, From9600To38400) {
    LinkRig rig;
    EXPECT_EQ(rig.App().RestoreBaudRate(38400, kv::Operation::Setting, kv::Phase::None), 38400u);
    const auto wire = rig.Dev().Sent();
    ASSERT_EQ(wire.size(), 3u);
    EXPECT_EQ(wire[0].value, 0xB0);
    EXPECT_EQ(wire[0].baud, 9600u);
    EXPECT_EQ(wire[1].value, 0xB2);
    EXPECT_EQ(wire[1].baud, 9600u);
    EXPECT_EQ(wire[2].value, 0xB2);
    EXPECT_EQ(wire[2].baud, 38400u);
    EXPECT_GE(wire[1].timeMs - wire[0].timeMs, 1000u);
    EXPECT_LT(wire[1].timeMs - wire[0].timeMs, 1010u);
    EXPECT_GE(wire[2].timeMs - wire[1].timeMs, 1000u);
    EXPECT_LT(wire[2].timeMs - wire[1].timeMs, 1010u);
    EXPECT_EQ(rig.Dev().Line().baud, 38400u);
    EXPECT_TRUE(rig.Messages().empty());
}

TEST(RestoreBaudRate, RateAlreadyInForceRepeatsItsCodeThreeTimes) {
    LinkRig rig;
    rig.PortAt(19200);
    EXPECT_EQ(rig.App().RestoreBaudRate(19200, kv::Operation::Setting, kv::Phase::None), 19200u);
    EXPECT_EQ(rig.Dev().SentBytes(), (std::vector<uint8_t>{0xB1, 0xB1, 0xB1}));
}

TEST(RestoreBaudRate, UnconfirmedTargetKeepsTheOldRateWithTheGivenMessage) {
    const std::pair<kv::Operation, int> cases[] = {{kv::Operation::Link, kv::IDS_CANNOT_SET_LAST_BAUD},
                                                   {kv::Operation::Setting, kv::IDS_CANNOT_SET_NEW_BAUD}};
    for (const auto& [op, id] : cases) {
        LinkRig rig;
        rig.PortAt(19200);
        rig.Loader().wrongEcho[0xB3] = 0x00;
        const kv::Phase phase = op == kv::Operation::Link ? kv::Phase::RestoreRate : kv::Phase::None;
        EXPECT_EQ(rig.App().RestoreBaudRate(57600, op, phase), 19200u);
        EXPECT_EQ(rig.Dev().SentBytes(), (std::vector<uint8_t>{0xB1, 0xB3, 0xB1}));
        EXPECT_EQ(rig.Dev().Line().baud, 19200u);
        const auto boxes = rig.Ui().EventsOf(tk::ScriptEvent::Type::MessageBox);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, rig.App().String(id));
        EXPECT_EQ(boxes[0].icon, tk::Icon::Exclamation);
        EXPECT_EQ(boxes[0].caption, "Kelvane");
    }
}

TEST(RestoreBaudRate, MissingFinalEchoAnswersWhatRecoveryAnswers) {
    for (Edition e : {Edition::Kelvane, Edition::Kelvlite}) {
        for (bool quit : {true, false}) {
            SCOPED_TRACE(std::string(kv::ProgramName(e)) + (quit ? " quit" : " setting cancelled"));
            LinkRig rig(e);
            // No echo at the new rate, and from then on no answer at all.
            bool deaf = false;
            rig.Dev().SetResponder([&](kvtest::FakeSerialDevice& d, const std::vector<uint8_t>& b) {
                deaf = deaf || (d.Line().baud != 9600 && b == std::vector<uint8_t>{0xB3});
                if (deaf) return;
                if (e == Edition::Kelvlite)
                    rig.Loader()(d, b);
                else if (b.size() == 1)
                    d.DeliverNow(b);
            });
            if (quit)
                rig.Ui().Answer(tk::IDCANCEL, "Timeout.\nPush RESET.\nPort: COM1");
            else
                rig.Ui().Answer(tk::IDOK, "Timeout.\nPush RESET.\nPort: COM1").Press(tk::IDCANCEL);
            EXPECT_EQ(rig.App().RestoreBaudRate(57600, kv::Operation::Setting, kv::Phase::None), 0u);
            EXPECT_EQ(rig.Ui().QuitRequested(), quit);
            // One lost echo, one recovery: no handshake asks for a second reset.
            EXPECT_EQ(rig.Messages(), std::vector<std::string>{"Timeout.\nPush RESET.\nPort: COM1"});
            EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
        }
    }
}

TEST(RestoreBaudRate, KelvliteLoadsARoutineBeforeEachCodeAndHandshakes) {
    LinkRig rig(Edition::Kelvlite);
    EXPECT_EQ(rig.App().RestoreBaudRate(38400, kv::Operation::Setting, kv::Phase::None), 38400u);
    // Routine blocks are 0xEE and the slot: 10 for 0xB0, 12 for 0xB2.
    const std::vector<uint8_t> expected = {0xEE, 10,   0xB0, 0x06, 0xEE, 12, 0xB2,  // switch, at 9600
                                           0x06, 0xEE, 12,   0xB2, 0x06};           // check, at 38400
    EXPECT_EQ(rig.Dev().SentBytes(), expected);
    EXPECT_TRUE(rig.Messages().empty());
}

// A kelvlite routine that is not acknowledged has run the recovery, which
// has set the link itself: the switch stops there, sends no bare code, and
// shows no baud-rate message of its own.
TEST(RestoreBaudRate, KelvliteRoutineNotAcknowledgedStopsAtOnce) {
    struct Case {
        const char* name;
        std::vector<uint8_t> unanswered;  // its first use gets no acknowledgement
        bool exit;                        // ResetTo9600 instead of a setting to 38400
    };
    const Case cases[] = {
        {"routine of the current rate", {0xEE, 10}, false},
        {"handshake after the first echo", {0x06}, false},
        {"routine of the target rate", {0xEE, 12}, false},
        {"routine at exit", {0xEE, 13}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LinkRig rig(Edition::Kelvlite);
        if (c.exit) rig.PortAt(57600);
        bool answered = false;
        rig.Dev().SetResponder([&](kvtest::FakeSerialDevice& d, const std::vector<uint8_t>& block) {
            if (block == c.unanswered && !answered) {
                answered = true;
                return;
            }
            rig.Loader()(d, block);
        });
        // The recovery: OK, and OK in "Set baudrate" (9600 bps).
        rig.Ui().Answer(tk::IDOK, "Timeout.\nPush RESET.\nPort: COM1").Press(tk::IDOK);
        size_t after = 0;
        if (c.exit) {
            rig.App().ResetTo9600();
        } else {
            EXPECT_EQ(rig.App().RestoreBaudRate(38400, kv::Operation::Setting, kv::Phase::None), 9600u);
        }
        EXPECT_EQ(rig.Messages(), std::vector<std::string>{"Timeout.\nPush RESET.\nPort: COM1"});
        EXPECT_EQ(rig.Dev().Line().baud, 9600u);
        EXPECT_EQ(rig.App().linkReady, 1);
        // Nothing followed the unanswered block but the recovery's traffic,
        // which starts with its wake-up code.
        const auto sent = rig.Dev().SentBytes();
        const auto at = std::search(sent.begin(), sent.end(), c.unanswered.begin(), c.unanswered.end());
        ASSERT_NE(at, sent.end());
        after = static_cast<size_t>(at - sent.begin()) + c.unanswered.size();
        ASSERT_LT(after, sent.size());
        EXPECT_EQ(sent[after], 0xB0);
        EXPECT_EQ(sent[after + 1], 0x00);
    }
}

TEST(ResetTo9600, BringsTheLinkBackAndRewritesDefaultType) {
    LinkRig rig;
    rig.PortAt(57600);
    rig.StoreCommState(57600, 8, 0, 0);
    rig.App().ResetTo9600();
    EXPECT_EQ(rig.Dev().SentBytes(), (std::vector<uint8_t>{0xB3, 0xB0, 0xB0}));
    EXPECT_EQ(rig.Dev().Sent()[2].baud, 9600u);
    EXPECT_EQ(rig.Dev().Line().baud, 9600u);
    EXPECT_EQ(rig.Profile().Get("mode_info", "Default_Type"), "");          // absent key becomes empty
    EXPECT_EQ(rig.Profile().Get("Last Comm State", "Baundrate"), "57600");  // not changed
    EXPECT_TRUE(rig.Messages().empty());
}

TEST(ResetTo9600, Failures) {
    LinkRig refused;
    refused.PortAt(57600);
    refused.Loader().echoCodes = false;
    refused.App().ResetTo9600();
    auto boxes = refused.Ui().EventsOf(tk::ScriptEvent::Type::MessageBox);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Can not set baudrate to 9600bps.");
    EXPECT_EQ(boxes[0].icon, tk::Icon::Exclamation);
    EXPECT_FALSE(refused.Profile().Get("mode_info", "Default_Type"));  // stopped early

    LinkRig noCheck;
    noCheck.PortAt(57600);
    noCheck.Dev().SetResponder([](kvtest::FakeSerialDevice& d, const std::vector<uint8_t>& b) {
        if (d.Line().baud == 57600) d.DeliverNow(b);
    });
    noCheck.App().ResetTo9600();
    boxes = noCheck.Ui().EventsOf(tk::ScriptEvent::Type::MessageBox);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, tk::Icon::Stop);
    EXPECT_TRUE(noCheck.Profile().Get("mode_info", "Default_Type"));
}

}  // namespace
