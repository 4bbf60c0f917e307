#include "cli/program_file.h"

#include <cstdio>
#include <iostream>
#include <mutex>
#include <optional>
#include <sstream>
#include <vector>

#include "image/id_file.h"
#include "image/load_image_file.h"
#include "link/mcu_flash.h"

namespace kv::cli {

namespace {

// More than any image of the 16 MiB address space takes as S-records.
constexpr size_t kMaxStandardInput = 128u << 20;

struct StandardInput {
    std::string bytes;
    std::string error;  // why it could not be taken
};

// A pipe can be read once: the first load takes it whole, the later loads
// of the run (and every board of a gang) read the copy.
const StandardInput& ReadStandardInput() {
    static std::mutex mutex;
    static std::optional<StandardInput> input;
    const std::lock_guard<std::mutex> lock(mutex);
    if (input) return *input;
    input.emplace();
    std::vector<char> chunk(64 * 1024);
    for (;;) {
        std::cin.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const auto got = static_cast<size_t>(std::cin.gcount());
        if (input->bytes.size() + got > kMaxStandardInput) {
            input->bytes.clear();
            input->error = "more than 128 MiB on standard input";
            break;
        }
        input->bytes.append(chunk.data(), got);
        if (std::cin.bad()) {
            input->bytes.clear();
            input->error = "standard input could not be read";
            break;
        }
        if (!std::cin) break;
    }
    return *input;
}

std::string Hex6(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(value));
    return text;
}

}  // namespace

std::string LoadProgramFile(const Command& command, CMotFile& image) {
    const bool binary = command.format == ImageFormat::Binary;
    const uint32_t base = command.base.value_or(0);
    ImageLoadResult result;
    const std::string name = command.file == "-" ? "standard input" : command.file;
    if (command.file == "-") {
        image.Clear();
        const StandardInput& input = ReadStandardInput();
        if (!input.error.empty()) return input.error;
        std::istringstream in(input.bytes, std::ios::binary);
        result = binary ? LoadBinaryStream(in, base, image) : LoadImageStream(in, image);
    } else {
        result = binary ? LoadBinaryFile(command.file, base, image) : LoadImageFile(command.file, image);
    }
    if (!result.Loaded()) return name + ": " + DescribeLoad(result);
    // Nothing to program would still erase and "program" the default range.
    if (image.PageCount() == 0) return name + (binary ? ": empty file" : ": no data records");
    return "";
}

std::string CheckImageInFlash(const std::string& file, const CMotFile& image, int mcuType) {
    const FlashRange flash = FlashOf(mcuType);
    std::optional<uint32_t> outside;
    image.PresentPages().ForEach([&](uint32_t page) {
        const uint32_t start = page << 8;
        if (outside || (start >= flash.first && start <= flash.last)) return;
        // The image keeps no mark of the bytes a record wrote: the first one
        // that is not blank, else the page itself, which only a record makes.
        const auto& bytes = image.Page(page)->Bytes();
        uint32_t offset = 0;
        while (offset < 256 && bytes[offset] == 0xFF) ++offset;
        outside = start + (offset < 256 ? offset : 0);
    });
    if (!outside) return "";
    return file + ": data at " + Hex6(*outside) + " lie outside the flash of the " + McuTypeName(mcuType) + " (" +
           Hex6(flash.first) + "-" + Hex6(flash.last) + ")";
}

}  // namespace kv::cli
