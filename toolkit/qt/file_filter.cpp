#include "toolkit/qt/file_filter.h"

#include <vector>

namespace tk {

namespace {

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : s) {
        if (c == sep) {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

}  // namespace

std::string QtFileFilter(const std::string& filter) {
    const auto parts = Split(filter, '|');
    std::string out;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string patterns;
        for (const auto& p : Split(parts[i + 1], ';')) {
            const std::string pattern = Trim(p) == "*.*" ? "*" : Trim(p);
            if (pattern.empty()) continue;
            if (!patterns.empty()) patterns += ' ';
            patterns += pattern;
        }
        if (patterns.empty()) continue;
        // The name's own "(...)" list is replaced, since Qt reads the patterns there.
        std::string name = parts[i];
        if (const auto open = name.rfind('('); open != std::string::npos && name.back() == ')')
            name = name.substr(0, open);
        name = Trim(name);
        if (!out.empty()) out += ";;";
        out += name + " (" + patterns + ")";
    }
    return out;
}

}  // namespace tk
