// LoadProgramFile: what the user is told for each way a file is refused,
// and only once per action.
#include <gtest/gtest.h>

#include "app/load_program_file.h"
#include "tests/image/image_test_util.h"
#include "tests/link/link_rig.h"

namespace {

using kvtest::LinkRig;
using kvtest::Record;

const std::string kGood = Record(2, 0x0C0000, {1, 2, 3}) + "\nS9030000FC\n";
// Three bytes at 0C0000 as Intel HEX, without its end-of-file record.
const std::string kHex = ":02000004000CEE\n:03000000010203F7\n";

TEST(LoadProgramFile, TellsEachRefusalWithItsIcon) {
    kvtest::ScratchDir dir;
    struct Case {
        const char* name;
        std::string text;  // empty: no file at all
        int result;
        std::string message;  // "%1" stands for the path
        tk::Icon icon;
        bool keepsData;  // a refused file leaves the image empty
    };
    const Case cases[] = {
        {"complete", kGood, 1, "", tk::Icon::None, true},
        {"bad data digit", Record(2, 0x0C0000, {1}) + "\nS2050C0100GG00\nS9030000FC\n", 0,
         "Can not accept this file.\nLine 2: bad record (digits, count or checksum)", tk::Icon::None, false},
        {"cut off in a record", Record(2, 0x0C0000, {1}) + "\nS2050C01", 0,
         "Can not accept this file.\nLine 2: bad record (digits, count or checksum)", tk::Icon::None, false},
        {"wrong checksum", Record(2, 0x0C0000, {1}, 1) + "\nS9030000FC\n", 0,
         "Can not accept this file.\nLine 1: bad record (digits, count or checksum)", tk::Icon::None, false},
        {"data beyond the address space", Record(3, 0x1000000, {1}) + "\nS9030000FC\n", 0,
         "Can not accept this file.\nLine 1: data beyond 0xFFFFFF", tk::Icon::None, false},
        {"not an S-record", Record(2, 0x0C0000, {1}) + "\n:10000000\n", 0,
         "Can not accept this file.\nLine 2: not an S-record", tk::Icon::Stop, false},
        {"no termination after a sound record", Record(2, 0x0C0000, {1}) + "\n", 1, "", tk::Icon::None, true},
        {"ends inside its header", "S00600004844", 0, "Can not accept this file.", tk::Icon::Stop, false},
        {"damaged type character", Record(2, 0x0C0000, {1}) + "\nSX050C0100AAAA\nS9030000FC\n", 0,
         "Can not accept this file.\nLine 2: unknown record type", tk::Icon::None, false},
        {"missing file", "", 0, "%1 was not found.", tk::Icon::Exclamation, false},
        // Intel HEX, told by its first record, is read whole or refused.
        {"Intel HEX", kHex + ":00000001FF\n", 1, "", tk::Icon::None, true},
        {"Intel HEX with a bad checksum", kHex + ":03001000010203F8\n:00000001FF\n", 0,
         "Can not accept this file.\nLine 3: bad checksum", tk::Icon::Stop, false},
        {"Intel HEX without its end", kHex, 0, "Can not accept this file.\nNo end-of-file record", tk::Icon::Stop,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LinkRig rig;
        // A file loaded before must not survive a refused one either.
        ASSERT_EQ(rig.App().Image().LoadFile(dir.Write("before.mot", kGood)), 1);
        const std::string path = c.text.empty() ? dir.File("absent.mot") : dir.Write("p.mot", c.text);
        EXPECT_EQ(kv::LoadProgramFile(rig.App(), path), c.result);
        const auto boxes = rig.Ui().EventsOf(tk::ScriptEvent::Type::MessageBox);
        if (c.message.empty()) {
            EXPECT_TRUE(boxes.empty()) << rig.Ui().TranscriptText();
        } else {
            ASSERT_EQ(boxes.size(), 1u) << rig.Ui().TranscriptText();
            std::string expected = c.message;
            if (auto at = expected.find("%1"); at != std::string::npos) expected.replace(at, 2, path);
            EXPECT_EQ(boxes[0].text, expected);
            EXPECT_EQ(boxes[0].caption, "Kelvane");
            EXPECT_EQ(boxes[0].icon, c.icon);
        }
        EXPECT_EQ(rig.App().Image().Page(0x0C00) != nullptr, c.keepsData);
    }
}

// Only regular files are read: a FIFO would block the open, a link to
// /dev/zero would feed the reader for ever.
TEST(LoadProgramFile, AnythingButARegularFileCannotBeRead) {
    kvtest::ScratchDir dir;
    for (const std::string& path : {dir.File(""), dir.Fifo("fifo.mot"), dir.LinkTo("zero.mot", "/dev/zero")}) {
        SCOPED_TRACE(path);
        LinkRig rig;
        EXPECT_EQ(kv::LoadProgramFile(rig.App(), path), 0);
        ASSERT_EQ(rig.Messages().size(), 1u);
        EXPECT_EQ(rig.Messages()[0], path + " could not be read.");
    }
}

TEST(LoadProgramFile, ARefusalIsToldOncePerAction) {
    kvtest::ScratchDir dir;
    LinkRig rig;
    const std::string bad = dir.Write("bad.mot", Record(2, 0x0C0000, {1}, 1) + "\n");
    kv::LoadNotice notice;
    EXPECT_EQ(kv::LoadProgramFile(rig.App(), bad, &notice), 0);
    EXPECT_TRUE(notice.told);
    EXPECT_EQ(kv::LoadProgramFile(rig.App(), bad, &notice), 0);
    EXPECT_EQ(rig.Messages().size(), 1u);
    EXPECT_EQ(rig.App().Image().PageCount(), 0u);  // refused again, and nothing kept

    // A good first load does not silence a refusal that follows.
    kv::LoadNotice fresh;
    EXPECT_EQ(kv::LoadProgramFile(rig.App(), dir.Write("good.mot", kGood), &fresh), 1);
    EXPECT_FALSE(fresh.told);
    EXPECT_EQ(kv::LoadProgramFile(rig.App(), bad, &fresh), 0);
    EXPECT_EQ(rig.Messages().size(), 2u);
}

}  // namespace
