#include "app/load_program_file.h"

#include <cctype>
#include <filesystem>
#include <system_error>

#include "app/kelvix_app.h"
#include "image/load_image_file.h"
#include "res/strings.h"

namespace kv {

namespace {

// The standard file-error texts; %1 stands for the path.
constexpr const char* kNotFound = "%1 was not found.";
constexpr const char* kNotReadable = "%1 could not be read.";

std::string Format(const std::string& pattern, const std::string& path) {
    std::string text = pattern;
    const auto at = text.find("%1");
    if (at != std::string::npos) text.replace(at, 2, path);
    return text;
}

// "Can not accept this file." and, where a record was refused, a second
// line with its number and what is wrong with it ("Line 2: not an S-record").
std::string RefusalText(CKelvixApp& app, unsigned line, const std::string& reason) {
    std::string text = app.String(IDS_CANNOT_ACCEPT_FILE);
    if (line == 0) return text;
    text += "\nLine " + std::to_string(line);
    if (!reason.empty()) text += ": " + reason;
    return text;
}

// Intel HEX is read by the image's strict reader: any fault refuses the
// whole file, with its line and reason.
int LoadIntelHexFile(CKelvixApp& app, const std::string& path, LoadNotice* notice) {
    const ImageLoadResult result = LoadImageFile(path, app.Image());
    if (result.Loaded()) return 1;
    if (notice && notice->told) return 0;
    if (result.status == ImageLoadStatus::CannotOpen) {
        app.MessageText(FileErrorText(path), tk::Icon::Exclamation);
    } else {
        std::string text = RefusalText(app, result.line, result.reason);
        if (result.line == 0 && !result.reason.empty()) {
            std::string reason = result.reason;
            reason[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(reason[0])));
            text += "\n" + reason;  // "No end-of-file record"
        }
        app.MessageText(text, tk::Icon::Stop);
    }
    if (notice) notice->told = true;
    return 0;
}

}  // namespace

std::string FileErrorText(const std::string& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    const bool missing = status.type() == std::filesystem::file_type::not_found;
    return Format(missing ? kNotFound : kNotReadable, path);
}

int LoadProgramFile(CKelvixApp& app, const std::string& path, LoadNotice* notice) {
    if (TextFormatOfFile(path) == ImageFormat::IntelHex) return LoadIntelHexFile(app, path, notice);
    CMotFile& image = app.Image();
    const int result = image.LoadFile(path);
    if (result != 1) image.Clear();  // the status stays: it says why
    if (notice && notice->told) return result;

    bool told = true;
    switch (image.LastStatus()) {
        case LoadStatus::Complete: told = false; break;
        case LoadStatus::BadRecord:
            app.MessageText(RefusalText(app, image.LastLine(), image.LastReason()), tk::Icon::None);
            break;
        case LoadStatus::NotSRecord:
        case LoadStatus::NoTermination:
            app.MessageText(RefusalText(app, image.LastLine(), image.LastReason()), tk::Icon::Stop);
            break;
        case LoadStatus::CannotOpen: app.MessageText(FileErrorText(path), tk::Icon::Exclamation); break;
    }
    if (notice && told) notice->told = true;
    return result;
}

}  // namespace kv
