#pragma once
// Erase of the chip's flash: all blocks, or block by block on old boot loaders.
#include <string>

#include "link/command.h"

namespace kv {

class CEraseCmd : public CCommand {
public:
    using CCommand::CCommand;

    // Erases, tells "Erase OK." or "Erase error." and leaves the read
    // time-out at 5000 ms.
    Outcome Run();

    // The erase without telling its outcome, shared with the
    // erase-program-read. kelvane asks the boot loader's version: an old
    // loader ("VER.2.03" or earlier, or no answer) with the erase variant
    // "+a" gets the four-block erase, where every block must erase; anything
    // else the erase of all blocks. The read time-out is left at 40000 ms:
    // the caller sets it back.
    Outcome EraseAll();

    // Whether a version text comes from a boot loader that needs the
    // block-by-block erase when asked for it: not above "VER.2.03", compared
    // byte by byte as unsigned values up to a zero byte.
    static bool IsOldLoader(const std::string& version);

private:
    std::string QueryVersion();
    Outcome EraseBlocks();
    Outcome EraseAllBlocks();
    Outcome Verdict(StatusCheck check, const StatusReply& reply);
};

}  // namespace kv
