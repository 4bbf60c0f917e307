#pragma once
// Reads the boot loader's version text and shows it.
#include <string>

#include "link/command.h"

namespace kv {

class CVersionCmd : public CCommand {
public:
    using CCommand::CCommand;
    // Shows the text ("ERROR" when the query was not answered); Ok with the
    // text, or LinkLost when there was none to show.
    Outcome Run();

    // The reply's 8 bytes as text: a zero byte ends it early.
    static std::string VersionText(const uint8_t (&reply)[8]);
    // Whether a version text sorts above the reference "VER.2.01"
    // (byte by byte, unsigned, as a plain string comparison).
    static bool AboveReference(const std::string& text);
};

}  // namespace kv
