#pragma once
// Scratch folders that do not outlive their test.
#include <string>

namespace kvtest {

// A fresh, empty folder under the test's temporary folder whose name begins
// "kv_<name>_". It is removed with everything in it when the test that made
// it ends, passed or failed (or, outside a test, when the program ends).
std::string TestFolder(const std::string& name);

}  // namespace kvtest
