// The ID file: its name, the MCU type it implies, and the ID bytes it holds.
#include "image/id_file.h"

#include "tests/image/image_test_util.h"

namespace {

TEST(IdFilePath, ReplacesKnownEndingsCaseSensitively) {
    const std::pair<const char*, const char*> cases[] = {{"/a/prog.mot", "/a/prog.id"},
                                                         {"prog.s2", "prog.id"},
                                                         {"prog.s", "prog.id"},
                                                         {"prog.btp", "prog.id"},
                                                         {"prog.mot.s", "prog.mot.id"},
                                                         {"prog.S2", ""},
                                                         {"prog.MOT", ""},
                                                         {"prog.hex", "prog.id"},
                                                         {"prog.srec", "prog.id"},
                                                         {"prog.s19", "prog.id"},
                                                         {"prog.s28", "prog.id"},
                                                         {"prog.s37", "prog.id"},
                                                         {"prog.HEX", ""},
                                                         {"prog.ihex", ""},
                                                         {"dir.s/prog", ""},
                                                         {"", ""}};
    for (const auto& [program, id] : cases) EXPECT_EQ(kv::IdFilePathFor(program), id) << program;
}

// kelvane-cli looks beside any program file, whatever its extension.
TEST(IdFilePath, BesideAnyProgramFile) {
    const std::pair<const char*, const char*> cases[] = {{"/a/prog.srec", "/a/prog.id"},
                                                         {"prog.hex", "prog.id"},
                                                         {"prog.mot", "prog.id"},
                                                         {"prog.S2", "prog.id"},
                                                         {"a.b/prog", "a.b/prog.id"},
                                                         {"prog", "prog.id"},
                                                         {"/a/.hidden", "/a/.hidden.id"},
                                                         {"fw.tar.bin", "fw.tar.id"},
                                                         {"prog.id", ""},
                                                         {"-", ""},
                                                         {"", ""}};
    for (const auto& [program, id] : cases) EXPECT_EQ(kv::IdFileBeside(program), id) << program;
}

class IdFileTest : public ::testing::Test {
protected:
    kvtest::ScratchDir dir;
};

TEST_F(IdFileTest, TypeLinesSwitchTheTypeAndTheLastOneWins) {
    int type = 0;
    ASSERT_TRUE(kv::ScanIdFileType(dir.Write("a.id", "FFFFDF 12\n"), type));
    EXPECT_EQ(type, 1);
    ASSERT_TRUE(kv::ScanIdFileType(dir.Write("b.id", "FFFFDF 12\nFFD4 34\n"), type));
    EXPECT_EQ(type, 2);
    ASSERT_TRUE(kv::ScanIdFileType(dir.Write("c.id", "FFD4 34\r\nFFFFDF 12\r\n"), type));
    EXPECT_EQ(type, 1);
    type = 2;
    ASSERT_TRUE(kv::ScanIdFileType(dir.Write("d.id", "FFFDF 12\nffffdf 12\n"), type));
    EXPECT_EQ(type, 2);
    EXPECT_FALSE(kv::ScanIdFileType(dir.File("missing.id"), type));
    EXPECT_EQ(type, 2);
}

TEST_F(IdFileTest, VireoHLineWithBlankFillsItsId) {
    const auto path = dir.Write("p.id", "FFFFE3 5A\r\n");
    const kv::IdFileScan scan = kv::ReadIdFile(path, 0);
    ASSERT_TRUE(scan.opened);
    EXPECT_EQ(scan.mcuType, 0);  // no type line: the type found from the image stays
    std::array<std::string, 7> ids{"a", "b", "c", "d", "e", "f", "g"};
    ASSERT_TRUE(kv::ReadIdFileBytes(path, 1, ids));
    EXPECT_EQ(ids, (std::array<std::string, 7>{"a", "5A", "c", "d", "e", "f", "g"}));
}

// Trailing blanks are no part of a byte, and a refusal names the line to blame.
TEST_F(IdFileTest, TrailingBlanksAreIgnoredAndFaultsNameTheirLine) {
    const std::string path =
        dir.Write("p.id", "FFFDF 11 \nFFFE3 22\t\r\nFFFEB 33\nFFFEF 44\nFFFF3 55  \nFFFF7 66\nFFFFB 77\n");
    kv::IdFileScan scan = kv::ReadIdFile(path, 0);
    ASSERT_TRUE(scan.opened);
    EXPECT_EQ(scan.ids[0], "11");
    EXPECT_EQ(scan.ids[1], "22");
    EXPECT_EQ(scan.ids[4], "55");
    EXPECT_EQ(scan.lines[4], 5u);
    EXPECT_EQ(kv::IdFileFault(path, scan), "");

    scan = kv::ReadIdFile(dir.Write("q.id", "\nFFFDF 11\nFFFE3 2G\n"), 0);
    EXPECT_EQ(kv::IdFileFault("q.id", scan), "q.id: line 3: ID byte 2 \"2G\" is not two hexadecimal digits");
    scan = kv::ReadIdFile(dir.Write("r.id", "FFFFDF 11\n"), 0);
    EXPECT_EQ(kv::IdFileFault("r.id", scan), "r.id: no line for ID byte 2 (FFFFE3) of the Vireo/H");
}

TEST_F(IdFileTest, VireoMLineWithColonFillsItsId) {
    const kv::IdFileScan scan = kv::ReadIdFile(dir.Write("p.id", "FFFDF:12\nFFFFB:7e\nFFFF3\n"), 0);
    ASSERT_TRUE(scan.opened);
    EXPECT_EQ(scan.mcuType, 0);
    EXPECT_EQ(scan.ids[0], "12");
    EXPECT_EQ(scan.ids[6], "7e");
    EXPECT_EQ(scan.ids[4], "F3");  // a line of just the address text gives its own last two characters
    EXPECT_FALSE(scan.ids[1].has_value());
}

TEST_F(IdFileTest, TypeLineSwitchesTheComparisonToSixCharacters) {
    const kv::IdFileScan scan = kv::ReadIdFile(dir.Write("p.id", "FFFDF:12\nFFFFDF 34\nFFFFEB 56\n"), 0);
    ASSERT_TRUE(scan.opened);
    EXPECT_EQ(scan.mcuType, 1);
    EXPECT_EQ(scan.ids[0], "34");  // "FFFDF:" is no Vireo/H address
    EXPECT_EQ(scan.ids[2], "56");
}

TEST_F(IdFileTest, WrenLines) {
    const kv::IdFileScan scan = kv::ReadIdFile(dir.Write("p.id", "FFD4 01\nFFDA-07\nFFD\n\nFFD9\n"), 0);
    EXPECT_EQ(scan.mcuType, 2);
    EXPECT_EQ(scan.ids[0], "01");
    EXPECT_EQ(scan.ids[6], "07");
    EXPECT_EQ(scan.ids[5], "D9");
    EXPECT_FALSE(scan.ids[1].has_value());
}

TEST_F(IdFileTest, LowerCaseAddressMatchesNothing) {
    const kv::IdFileScan scan = kv::ReadIdFile(dir.Write("p.id", "fffdf 12\nfffe3 34\nFffeb 56\n"), 0);
    ASSERT_TRUE(scan.opened);
    for (const auto& id : scan.ids) EXPECT_FALSE(id.has_value());
}

TEST_F(IdFileTest, OverlongLineIsNoIdLine) {
    const kv::IdFileScan scan =
        kv::ReadIdFile(dir.Write("p.id", "FFFDF " + std::string(5000, 'x') + "12\nFFFE3 34"), 0);
    ASSERT_TRUE(scan.opened);
    EXPECT_FALSE(scan.ids[0].has_value());
    EXPECT_EQ(scan.ids[1], "34");
}

TEST_F(IdFileTest, LinesWithControlCharactersAreNoIdLines) {
    using namespace std::string_literals;
    const std::string text = "FFFDF 1\0\nFFFE3\x01 34\nFFFEB 5\x7F\nFFFFDF\0 99\nFFFEF\t44\n"s;
    const kv::IdFileScan scan = kv::ReadIdFile(dir.Write("p.id", text), 0);
    ASSERT_TRUE(scan.opened);
    EXPECT_EQ(scan.mcuType, 0);  // the malformed type line does not count either
    EXPECT_FALSE(scan.ids[0].has_value());
    EXPECT_FALSE(scan.ids[1].has_value());
    EXPECT_FALSE(scan.ids[2].has_value());
    EXPECT_EQ(scan.ids[3], "44");  // a tab is a blank
}

TEST_F(IdFileTest, MissingFileIsReported) {
    // A FIFO or a device is no ID file either (its open would block or its
    // reading never end).
    for (const std::string& path : {dir.File("missing.id"), dir.Fifo("fifo.id"), dir.LinkTo("zero.id", "/dev/zero")}) {
        SCOPED_TRACE(path);
        const kv::IdFileScan scan = kv::ReadIdFile(path, 2);
        EXPECT_FALSE(scan.opened);
        EXPECT_EQ(scan.mcuType, 2);
        std::array<std::string, 7> ids{"11"};
        EXPECT_FALSE(kv::ReadIdFileBytes(path, 0, ids));
        EXPECT_EQ(ids[0], "11");
        int type = 2;
        EXPECT_FALSE(kv::ScanIdFileType(path, type));
    }
}

}  // namespace
