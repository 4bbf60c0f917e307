#pragma once
// The file-open filter of the dialogs ("Name (*.a;*.b)|*.a;*.b|...|") in the
// form Qt's file dialog takes ("Name (*.a *.b);;...").
#include <string>

namespace tk {

// Each pair becomes "Name (patterns)" with the patterns of the pair's second
// half, blank-separated; "*.*" matches every file, as it does on the system
// the filter texts come from. A pair without patterns is dropped.
std::string QtFileFilter(const std::string& filter);

}  // namespace tk
