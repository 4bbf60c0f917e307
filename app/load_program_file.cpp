#include "app/load_program_file.h"

#include <filesystem>
#include <system_error>

#include "app/kelvix_app.h"
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
std::string RefusalText(CKelvixApp& app, const CMotFile& image) {
    std::string text = app.String(IDS_CANNOT_ACCEPT_FILE);
    if (image.LastLine() == 0) return text;
    text += "\nLine " + std::to_string(image.LastLine());
    if (!image.LastReason().empty()) text += ": " + image.LastReason();
    return text;
}

}  // namespace

std::string FileErrorText(const std::string& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    const bool missing = status.type() == std::filesystem::file_type::not_found;
    return Format(missing ? kNotFound : kNotReadable, path);
}

int LoadProgramFile(CKelvixApp& app, const std::string& path, LoadNotice* notice) {
    CMotFile& image = app.Image();
    const int result = image.LoadFile(path);
    if (result != 1) image.Clear();  // the status stays: it says why
    if (notice && notice->told) return result;

    bool told = true;
    switch (image.LastStatus()) {
        case LoadStatus::Complete: told = false; break;
        case LoadStatus::BadRecord: app.MessageText(RefusalText(app, image), tk::Icon::None); break;
        case LoadStatus::NotSRecord:
        case LoadStatus::NoTermination: app.MessageText(RefusalText(app, image), tk::Icon::Stop); break;
        case LoadStatus::CannotOpen: app.MessageText(FileErrorText(path), tk::Icon::Exclamation); break;
    }
    if (notice && told) notice->told = true;
    return result;
}

}  // namespace kv
