#pragma once
// The text side of the INI file: look up a key, or produce the text with one
// key set. Works on raw bytes, so a hand-edited or damaged file never stops it,
// and every line it does not change stays byte for byte.
#include <optional>
#include <string>

namespace plat {

// The value of `key` in `section` (first match, ASCII case-insensitive, blanks
// around the value trimmed), or nothing.
std::optional<std::string> IniLookup(const std::string& text, const std::string& section, const std::string& key);

// Whether section, key and value can be written without breaking the file's
// lines (no line breaks, NULs, brackets in a section name, '=' in a key).
bool IniCanStore(const std::string& section, const std::string& key, const std::string& value);

// `text` with `key` in `section` set to `value`: an existing key keeps its
// line's spelling and spacing before the value; a new key goes at the end of
// its section; a new section goes at the end of the text. Call only when
// IniCanStore holds.
std::string IniWithValue(const std::string& text, const std::string& section, const std::string& key,
                         const std::string& value);

}  // namespace plat
