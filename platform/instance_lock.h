#pragma once
// One running instance per program name, system-wide.
#include <memory>
#include <string>

namespace plat {

class IInstanceLock {
public:
    virtual ~IInstanceLock() = default;
    // False when another process holds the lock of that name, or it cannot be made.
    virtual bool Acquire(const std::string& name) = 0;
    virtual void Release() = 0;
    virtual bool Held() const = 0;
};

// flock on <name>.lock in $XDG_RUNTIME_DIR, else in a private folder
// "kelvane-<uid>" (mode 0700, the user's own) inside `sharedFolder`;
// close-on-exec. Only a regular file of the user's own is locked.
std::unique_ptr<IInstanceLock> MakeFileInstanceLock(const std::string& sharedFolder = "/tmp");

}  // namespace plat
