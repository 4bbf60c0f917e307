// kelvane-cli's program files: a file with nothing to program, or with data
// outside the chip's flash, is refused before anything is sent; "-" reads
// standard input once for the whole run.
#include "cli/program_file.h"

#include <iostream>
#include <sstream>

#include "link/mcu_flash.h"

#include "tests/image/image_test_util.h"

namespace {

using kv::CMotFile;
using kv::cli::Command;

Command Write(const std::string& file, std::optional<uint32_t> base = std::nullopt) {
    Command c;
    c.kind = Command::Kind::Write;
    c.file = file;
    c.base = base;
    if (base) c.format = kv::ImageFormat::Binary;
    return c;
}

TEST(ProgramFile, AFileWithoutDataIsRefused) {
    kvtest::ScratchDir dir;
    const struct {
        std::string file;
        std::optional<uint32_t> base;
        std::string refusal;  // after "PATH: "
    } cases[] = {
        {dir.Write("header.mot", "S00600004844521B\nS9030000FC\n"), {}, "no data records"},
        {dir.Write("end.hex", ":00000001FF\n"), {}, "no data records"},
        {dir.Write("empty.bin", ""), 0x0C0000, "empty file"},
        {dir.Write("empty.mot", ""), {}, "empty file"},
        {dir.Write("two.mot", kvtest::Record(2, 0x0C0000, {1}) + "\nS804000000FB\n" + kvtest::Record(2, 0x0D0000, {2})),
         {},
         "line 3: data after the termination record"},
        {dir.Write("one.mot", kvtest::Record(2, 0x0C0000, {1}) + "\nS804000000FB\n"), {}, ""},
    };
    for (const auto& c : cases) {
        CMotFile image;
        const std::string refusal = kv::cli::LoadProgramFile(Write(c.file, c.base), image);
        EXPECT_EQ(refusal, c.refusal.empty() ? "" : c.file + ": " + c.refusal);
        EXPECT_EQ(image.PageCount(), c.refusal.empty() ? 1u : 0u) << c.file;
    }
}

TEST(ProgramFile, DataOutsideTheFlashOfTheMcuTypeAreNamed) {
    const struct {
        uint32_t address;
        std::vector<uint8_t> bytes;
        int mcuType;
        const char* refusal;
    } cases[] = {
        {0x0C0000, {1}, 0, ""},
        {0x0FFFFF, {1}, 0, ""},
        {0x401000, {1}, 0, "fw: data at 401000 lie outside the flash of the Vireo/M (0C0000-0FFFFF)"},
        {0x0BFFFF, {1}, 0, "fw: data at 0BFFFF lie outside the flash of the Vireo/M (0C0000-0FFFFF)"},
        {0x100010, {0xFF, 0xFF, 3}, 0, "fw: data at 100012 lie outside the flash of the Vireo/M (0C0000-0FFFFF)"},
        {0x100010, {0xFF}, 7, "fw: data at 100000 lie outside the flash of the Vireo/M (0C0000-0FFFFF)"},
        {0xF00000, {1}, 1, ""},
        {0x0FFFFF, {1}, 1, "fw: data at 0FFFFF lie outside the flash of the Vireo/H (F00000-FFFFFF)"},
        {0x00FFFF, {1}, 2, ""},
        {0x010000, {1}, 2, "fw: data at 010000 lie outside the flash of the Wren (000000-00FFFF)"},
    };
    for (const auto& c : cases) {
        CMotFile image;
        const uint8_t inside = 0x42;
        ASSERT_TRUE(image.Put(kv::FlashOf(c.mcuType).first, &inside, 1));
        ASSERT_TRUE(image.Put(c.address, c.bytes.data(), static_cast<uint32_t>(c.bytes.size())));
        EXPECT_EQ(kv::cli::CheckImageInFlash("fw", image, c.mcuType), c.refusal) << std::hex << c.address;
    }
}

// A pipe cannot be read twice: every load of the run reads the same copy.
TEST(ProgramFile, StandardInputIsReadOnceForTheRun) {
    std::istringstream piped(kvtest::Record(2, 0x0C0000, {7, 8}) + "\nS804000000FB\n");
    std::streambuf* const saved = std::cin.rdbuf(piped.rdbuf());
    CMotFile first, again;
    const std::string refusal = kv::cli::LoadProgramFile(Write("-"), first);
    const std::string second = kv::cli::LoadProgramFile(Write("-"), again);
    std::cin.rdbuf(saved);
    EXPECT_EQ(refusal, "");
    EXPECT_EQ(second, "");
    ASSERT_NE(again.Page(0x0C00), nullptr);
    EXPECT_EQ(again.Page(0x0C00)->Bytes()[1], 8);
    // The same bytes as raw binary at a base of their own.
    const std::string binary = kv::cli::LoadProgramFile(Write("-", 0x0D0000), again);
    EXPECT_EQ(binary, "");
    ASSERT_NE(again.Page(0x0D00), nullptr);
    EXPECT_EQ(again.Page(0x0D00)->Bytes()[0], 'S');
}

}  // namespace
