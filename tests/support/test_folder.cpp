#include "tests/support/test_folder.h"

#include <stdlib.h>

#include <filesystem>
#include <mutex>
#include <system_error>
#include <vector>

#include <gtest/gtest.h>

namespace kvtest {

namespace {

// The folders still to remove; never destroyed, so it outlives every user.
class Registry {
public:
    static Registry& Get() {
        static Registry* registry = new Registry;
        return *registry;
    }
    void Add(const std::string& path) {
        std::lock_guard<std::mutex> hold(mutex_);
        folders_.push_back(path);
    }
    void RemoveAll() {
        std::lock_guard<std::mutex> hold(mutex_);
        for (const auto& folder : folders_) {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        }
        folders_.clear();
    }

private:
    std::mutex mutex_;
    std::vector<std::string> folders_;
};

class FolderCleaner : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override { Registry::Get().RemoveAll(); }
};

void WatchTests() {
    static std::once_flag once;
    std::call_once(once, [] { ::testing::UnitTest::GetInstance()->listeners().Append(new FolderCleaner); });
}

// Folders made outside any test go when the program ends.
struct AtExit {
    ~AtExit() { Registry::Get().RemoveAll(); }
} atExit;

}  // namespace

std::string TestFolder(const std::string& name) {
    std::string pattern = ::testing::TempDir() + "kv_" + name + "_XXXXXX";
    if (!mkdtemp(pattern.data())) {
        ADD_FAILURE() << "cannot make a folder like " << pattern;
        return pattern;
    }
    WatchTests();
    Registry::Get().Add(pattern);
    return pattern;
}

}  // namespace kvtest
