#include "image/id_file.h"

#include <cctype>
#include <fstream>
#include <string_view>

#include "image/line_reader.h"
#include "image/program_file_name.h"
#include "image/text_file.h"

namespace kv {
namespace {

// Longer lines are not ID lines and are skipped.
constexpr size_t kMaxIdLine = 1024;

constexpr std::array<const char*, 7> kVireoM{"FFFDF", "FFFE3", "FFFEB", "FFFEF", "FFFF3", "FFFF7", "FFFFB"};
constexpr std::array<const char*, 7> kVireoH{"FFFFDF", "FFFFE3", "FFFFEB", "FFFFEF", "FFFFF3", "FFFFF7", "FFFFFB"};
constexpr std::array<const char*, 7> kWren{"FFD4", "FFD5", "FFD6", "FFD7", "FFD8", "FFD9", "FFDA"};

// A line with a control character in it (a NUL, say) is no ID line: its
// bytes must never reach an ID field.
bool IsMalformed(std::string_view line) {
    for (unsigned char c : line)
        if ((c < 0x20 && c != '\t') || c == 0x7F) return true;
    return false;
}

bool EndsWith(const std::string& text, std::string_view ending) {
    return text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

}  // namespace

const std::array<const char*, 7>& IdAddressTexts(int mcuType) {
    if (mcuType == 1) return kVireoH;
    if (mcuType == 2) return kWren;
    return kVireoM;
}

const char* McuTypeName(int mcuType) {
    if (mcuType == 1) return "Vireo/H";
    if (mcuType == 2) return "Wren";
    return "Vireo/M";
}

std::string IdFileBeside(const std::string& programPath) {
    if (programPath.empty() || programPath == "-") return {};
    const size_t slash = programPath.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = programPath.rfind('.');
    // A leading dot ("/a/.hidden") starts a name, not an extension.
    const bool hasExtension = dot != std::string::npos && dot > nameStart;
    const std::string path = (hasExtension ? programPath.substr(0, dot) : programPath) + ".id";
    return path == programPath ? std::string() : path;
}

std::string IdFileFault(const std::string& path, const IdFileScan& scan) {
    for (size_t j = 0; j < scan.ids.size(); ++j) {
        const std::string byte = "ID byte " + std::to_string(j + 1);
        const auto& text = scan.ids[j];
        if (!text)
            return path + ": no line for " + byte + " (" + IdAddressTexts(scan.mcuType)[j] + ") of the " +
                   McuTypeName(scan.mcuType);
        const bool hex = text->size() == 2 && std::isxdigit(static_cast<unsigned char>((*text)[0])) &&
                         std::isxdigit(static_cast<unsigned char>((*text)[1]));
        if (!hex)
            return path + ": line " + std::to_string(scan.lines[j]) + ": " + byte + " \"" + *text +
                   "\" is not two hexadecimal digits";
    }
    return "";
}

std::string IdFilePathFor(const std::string& programPath) {
    std::string_view ending = ProgramFileEnding(programPath);
    if (ending.empty() && EndsWith(programPath, ".btp")) ending = ".btp";
    if (ending.empty()) return {};
    return programPath.substr(0, programPath.size() - ending.size()) + ".id";
}

void ScanIdFileType(std::istream& in, int& mcuType) {
    LineReader reader(in, kMaxIdLine);
    std::string_view line;
    while (reader.Next(line)) {
        if (reader.Overlong() || IsMalformed(line)) continue;
        if (line.starts_with("FFFFDF"))
            mcuType = 1;
        else if (line.starts_with("FFD4"))
            mcuType = 2;
    }
}

void ReadIdFileBytes(std::istream& in, int mcuType, std::array<std::optional<std::string>, 7>& ids,
                     std::array<unsigned, 7>* lines) {
    const auto& addresses = IdAddressTexts(mcuType);
    const size_t k = std::string_view(addresses[0]).size();
    LineReader reader(in, kMaxIdLine);
    std::string_view line;
    while (reader.Next(line)) {
        if (reader.Overlong() || IsMalformed(line)) continue;
        // An editor's trailing blanks are no part of the byte.
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
        if (line.size() < k) continue;
        const std::string_view head = line.substr(0, k);
        for (size_t j = 0; j < addresses.size(); ++j) {
            if (head == addresses[j]) {
                ids[j] = std::string(line.substr(line.size() - 2));
                if (lines) (*lines)[j] = reader.LineNumber();
                break;
            }
        }
    }
}

bool ScanIdFileType(const std::string& path, int& mcuType) {
    std::ifstream in;
    if (!OpenRegularFile(path, in)) return false;
    int found = mcuType;
    ScanIdFileType(in, found);
    if (in.bad()) return false;
    mcuType = found;
    return true;
}

bool ReadIdFileBytes(const std::string& path, int mcuType, std::array<std::string, 7>& ids) {
    std::ifstream in;
    if (!OpenRegularFile(path, in)) return false;
    std::array<std::optional<std::string>, 7> found;
    ReadIdFileBytes(in, mcuType, found);
    if (in.bad()) return false;
    for (size_t j = 0; j < ids.size(); ++j) {
        if (found[j]) ids[j] = *found[j];
    }
    return true;
}

IdFileScan ReadIdFile(const std::string& path, int startType) {
    IdFileScan scan;
    scan.mcuType = startType;
    std::ifstream in;
    if (!OpenRegularFile(path, in)) return scan;
    ScanIdFileType(in, scan.mcuType);
    if (in.bad()) {
        scan.mcuType = startType;
        return scan;
    }
    in.clear();
    in.seekg(0);
    ReadIdFileBytes(in, scan.mcuType, scan.ids, &scan.lines);
    if (in.bad()) {
        scan = IdFileScan{};
        scan.mcuType = startType;
        return scan;
    }
    scan.opened = true;
    return scan;
}

}  // namespace kv
