#include "cli/program_file.h"

#include "image/load_image_file.h"

namespace kv::cli {

std::string LoadProgramFile(const Command& command, CMotFile& image) {
    const ImageLoadResult result = command.format == ImageFormat::Binary
                                       ? LoadBinaryFile(command.file, command.base.value_or(0), image)
                                       : LoadImageFile(command.file, image);
    if (result.Loaded()) return "";
    return command.file + ": " + DescribeLoad(result);
}

}  // namespace kv::cli
