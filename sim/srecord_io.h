#pragma once
// S-record files into and out of the simulated flash, so that end-to-end runs
// can start from an image and compare the result with a file.
#include <cstdint>
#include <string>

#include "sim/flash_memory.h"

namespace sim {

// Stores the data of S1, S2 and S3 records as they are. False with a message
// naming the line when the file cannot be read or a record is malformed.
bool LoadSRecords(const std::string& path, FlashMemory& flash, std::string& error);

// S2 records (at most 32 bytes each) of the bytes of the range that are not
// blank (0xFF), between an S0 header and an S8 end record.
bool DumpSRecords(const std::string& path, const FlashMemory& flash, uint32_t first, uint32_t last, std::string& error);

// Every byte of the range, blank ones included.
bool DumpBinary(const std::string& path, const FlashMemory& flash, uint32_t first, uint32_t last, std::string& error);

}  // namespace sim
