#include <cctype>
#include <climits>

#include "platform/profile.h"

namespace plat {

int GetProfileInt(IProfile& profile, const std::string& section, const std::string& key, int fallback) {
    auto value = profile.Get(section, key);
    if (!value) return fallback;
    // The leading decimal number, with an optional sign; 0 when there is none.
    const std::string& s = *value;
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    long long n = 0;
    for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i) {
        n = n * 10 + (s[i] - '0');
        if (n > INT_MAX) n = INT_MAX;  // saturate rather than overflow on a hand-edited file
    }
    return static_cast<int>(negative ? -n : n);
}

}  // namespace plat
