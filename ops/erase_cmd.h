#pragma once
// Erase of the chip's flash: all blocks, or block by block on old boot loaders.
#include <string>

#include "link/command.h"

namespace kv {

class CEraseCmd : public CCommand {
public:
    using CCommand::CCommand;

    // Erases, shows "Erase OK." or "Erase error." and leaves the read
    // time-out at 5000 ms. Answers 1 on success.
    int Run();

    // The erase without its report, shared with the erase-program-read.
    // kelvane asks the boot loader's version: an old loader ("VER.2.03" or
    // earlier, or no answer) with the erase mode "+a" gets the four-block
    // erase, everything else the erase of all blocks; kelvlite loads the
    // sequencer's erase routines. Answers 1 when the chip reported the erase
    // good. The read time-out is left at 40000 ms: the caller sets it back.
    int EraseAll();

    // Whether a version text comes from a boot loader that needs the
    // block-by-block erase when asked for it: not above "VER.2.03", compared
    // byte by byte as unsigned values up to a zero byte.
    static bool IsOldLoader(const std::string& version);

private:
    std::string QueryVersion();
    int EraseBlocks();
    int EraseAllBlocks();
    int EraseWithRoutines();
    void WriteByte(uint8_t code);
};

}  // namespace kv
