#include "platform/linux/ini_text.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

namespace plat {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

// One line: its text without the line end, and the line end itself ("\n",
// "\r\n", "\r" as old Mac editors write, or empty on a last line without one).
struct Line {
    std::string_view text;
    std::string_view end;
};

std::vector<Line> SplitLines(std::string_view all) {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < all.size()) {
        const size_t stop = std::min(all.find_first_of("\r\n", pos), all.size());
        size_t next = stop;
        if (stop < all.size()) next += (all[stop] == '\r' && stop + 1 < all.size() && all[stop + 1] == '\n') ? 2 : 1;
        lines.push_back({all.substr(pos, stop - pos), all.substr(stop, next - stop)});
        pos = next;
    }
    return lines;
}

enum class Kind { Other, Section, Entry };

struct Parsed {
    Kind kind = Kind::Other;
    std::string_view name;  // section name or key
    size_t valueAt = 0;     // Entry: offset of the value in the line (blanks after '=' skipped)
};

Parsed Parse(std::string_view line) {
    std::string_view t = Trim(line);
    // A byte-order mark that some editors put first hides no section header.
    if (t.starts_with("\xEF\xBB\xBF")) t = Trim(t.substr(3));
    Parsed p;
    if (t.empty() || t.front() == ';' || t.front() == '#') return p;
    if (t.front() == '[') {
        size_t close = t.find(']');
        if (close == std::string_view::npos) return p;
        p.kind = Kind::Section;
        p.name = Trim(t.substr(1, close - 1));
        return p;
    }
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) return p;
    std::string_view name = Trim(line.substr(0, eq));
    if (name.empty()) return p;
    p.kind = Kind::Entry;
    p.name = name;
    size_t v = eq + 1;
    while (v < line.size() && IsBlank(line[v])) ++v;
    p.valueAt = v;
    return p;
}

// Where a key stands, or where its section ends.
struct Place {
    bool sectionFound = false;
    size_t entry = SIZE_MAX;          // line index of the key
    size_t lastInSection = SIZE_MAX;  // last line with content in the first matching section
};

Place Find(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    Place place;
    bool inSection = false;
    bool inFirst = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        Parsed p = Parse(lines[i].text);
        if (p.kind == Kind::Section) {
            inSection = SameName(p.name, section);
            inFirst = inSection && !place.sectionFound;
            if (inFirst) {
                place.sectionFound = true;
                place.lastInSection = i;
            }
            continue;
        }
        if (!inSection) continue;
        if (p.kind == Kind::Entry && inFirst) place.lastInSection = i;
        if (p.kind == Kind::Entry && SameName(p.name, key)) {
            place.entry = i;
            return place;
        }
    }
    return place;
}

std::string_view LineEndOf(const std::vector<Line>& lines) {
    for (const auto& l : lines)
        if (!l.end.empty()) return l.end;
    return "\n";
}

}  // namespace

std::optional<std::string> IniLookup(const std::string& text, const std::string& section, const std::string& key) {
    auto lines = SplitLines(text);
    Place place = Find(lines, Trim(section), Trim(key));
    if (place.entry == SIZE_MAX) return std::nullopt;
    std::string_view line = lines[place.entry].text;
    return std::string(Trim(line.substr(Parse(line).valueAt)));
}

bool IniCanStore(const std::string& section, const std::string& key, const std::string& value) {
    auto hasAny = [](const std::string& s, std::string_view chars) {
        return s.find_first_of(chars) != std::string::npos;
    };
    const std::string_view breaks("\r\n\0", 3);
    std::string_view k = Trim(key);
    if (Trim(section).empty() || k.empty()) return false;
    if (hasAny(section, breaks) || hasAny(section, "[]")) return false;
    // A key that would read as a section, a comment or a byte-order mark before one.
    if (hasAny(key, breaks) || hasAny(key, "=") || k.front() == '[' || k.front() == ';' || k.front() == '#' ||
        k.starts_with("\xEF\xBB\xBF"))
        return false;
    return !hasAny(value, breaks);
}

std::string IniWithValue(const std::string& text, const std::string& section, const std::string& key,
                         const std::string& value) {
    auto lines = SplitLines(text);
    std::string_view sec = Trim(section);
    std::string_view k = Trim(key);
    Place place = Find(lines, sec, k);
    std::string_view eol = LineEndOf(lines);
    std::string newEntry = std::string(k) + "=" + value;

    std::string out;
    out.reserve(text.size() + newEntry.size() + sec.size() + 8);
    auto emit = [&](std::string_view s, std::string_view end) {
        out.append(s);
        out.append(end);
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& l = lines[i];
        // A line that gets another after it needs a line end of its own.
        bool growsAfter = place.entry == SIZE_MAX && place.sectionFound && i == place.lastInSection;
        std::string_view end = (l.end.empty() && growsAfter) ? eol : l.end;
        if (i == place.entry) {
            // Keep the key's spelling and the spacing before the value.
            emit(std::string(l.text.substr(0, Parse(l.text).valueAt)) + value, end);
        } else {
            emit(l.text, end);
        }
        if (growsAfter) emit(newEntry, eol);
    }
    if (!place.sectionFound) {
        if (!lines.empty() && lines.back().end.empty()) out.append(eol);
        // Built by appending: GCC 12 at -O3 misreads `"[" + std::string(...)`
        // as an overlapping copy (-Wrestrict).
        std::string header(1, '[');
        header.append(sec).push_back(']');
        emit(header, eol);
        emit(newEntry, eol);
    }
    return out;
}

}  // namespace plat
