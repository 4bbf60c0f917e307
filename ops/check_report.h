#pragma once
// The results of the checks that stop at the first byte that fails: the text
// the dialog programs show, with the address and the bytes for any other user.
#include <cstdint>
#include <string>

#include "link/link_user.h"
#include "res/strings.h"

namespace kv {

inline Outcome NotBlankAt(std::string text, uint32_t address, uint8_t read, Tone tone = Tone::Plain) {
    return {.messageId = IDS_NOT_BLANK, .tone = tone, .text = std::move(text), .hasAddress = true,
            .address = address, .expected = 0xFF, .read = read};
}

inline Outcome NotMatchAt(std::string text, uint32_t address, uint8_t expected, uint8_t read,
                          Tone tone = Tone::Plain) {
    return {.messageId = IDS_NOT_MATCH, .tone = tone, .text = std::move(text), .hasAddress = true,
            .address = address, .expected = expected, .read = read};
}

}  // namespace kv
