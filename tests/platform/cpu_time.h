#pragma once
// CPU time of the calling thread, to prove that waits sleep rather than spin.
#include <sys/resource.h>

#include <cstdint>

namespace kvtest {

inline double ThreadCpuMs() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0;
    };
    return ms(u.ru_utime) + ms(u.ru_stime);
}

}  // namespace kvtest
