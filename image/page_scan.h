#pragma once
// Where the data of an image lie: the lowest and highest present page.
#include <cstdint>

#include "image/mot_file.h"

namespace kv {

// Considers only pages whose address is below limitAddress (0x1000000 for
// the whole space, 0x2C00 for the download range). On success `first` is the
// address of the lowest present page and `last` the last byte address of the
// highest one; page 0 counts like any other. False, with both unchanged,
// when no such page is present.
bool FindDataPages(const CMotFile& image, uint32_t limitAddress, uint32_t& first, uint32_t& last);

}  // namespace kv
