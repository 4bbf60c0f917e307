// Loads a 16 MiB image written as S3 records (32 data bytes each) and times
// it against srec_cat and objcopy converting the same file to binary. Our
// load runs in a child process so that its peak memory can be measured on
// its own; the result is checked against objcopy's binary.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "image/mot_file.h"

extern char** environ;

namespace {

constexpr uint32_t kImageBytes = 16u * 1024 * 1024;
constexpr uint32_t kRecordBytes = 32;

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void Generate(const std::string& path) {
    static const char digits[] = "0123456789ABCDEF";
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::vector<char> chunk;
    chunk.reserve(1 << 20);
    uint32_t seed = 12345;
    auto put = [&](uint8_t b, unsigned& sum) {
        chunk.push_back(digits[b >> 4]);
        chunk.push_back(digits[b & 15]);
        sum += b;
    };
    std::fputs("S00F000062656E63682E6D6F7420202012\n", out);
    for (uint32_t address = 0; address < kImageBytes; address += kRecordBytes) {
        unsigned sum = 0;
        chunk.push_back('S');
        chunk.push_back('3');
        put(static_cast<uint8_t>(4 + kRecordBytes + 1), sum);
        for (int shift = 24; shift >= 0; shift -= 8) put(static_cast<uint8_t>(address >> shift), sum);
        for (uint32_t i = 0; i < kRecordBytes; ++i) {
            seed = seed * 1103515245u + 12345u;
            put(static_cast<uint8_t>(seed >> 16), sum);
        }
        unsigned ignored = 0;
        put(static_cast<uint8_t>(~sum), ignored);
        chunk.push_back('\n');
        if (chunk.size() > (1 << 20) - 128) {
            std::fwrite(chunk.data(), 1, chunk.size(), out);
            chunk.clear();
        }
    }
    std::fwrite(chunk.data(), 1, chunk.size(), out);
    std::fputs("S70500000000FA\n", out);
    std::fclose(out);
}

struct ChildRun {
    bool started = false;
    int exitCode = -1;
    double wallSeconds = 0;
    long maxRssKiB = 0;
    std::string output;
};

// Runs argv to its end; stdout is captured when `capture` is set, else dropped.
ChildRun Spawn(const std::vector<std::string>& args, bool capture) {
    ChildRun run;
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int pipeFds[2] = {-1, -1};
    if (capture && pipe(pipeFds) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (capture) {
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const auto start = std::chrono::steady_clock::now();
    const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (capture) close(pipeFds[1]);
    if (error != 0) {
        if (capture) close(pipeFds[0]);
        return run;
    }
    run.started = true;
    if (capture) {
        char buffer[256];
        ssize_t got;
        while ((got = read(pipeFds[0], buffer, sizeof buffer)) > 0) run.output.append(buffer, static_cast<size_t>(got));
        close(pipeFds[0]);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.wallSeconds = Seconds(start);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.maxRssKiB = usage.ru_maxrss;
    return run;
}

// Child mode: load the file once and report "<seconds> <result> <pages>".
int LoadOnly(const char* path) {
    kv::CMotFile image;
    const auto start = std::chrono::steady_clock::now();
    const int result = image.LoadFile(path);
    const double seconds = Seconds(start);
    std::printf("%.6f %d %zu\n", seconds, result, image.PageCount());
    return 0;
}

std::optional<std::vector<uint8_t>> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool SameAsImage(const kv::CMotFile& image, const std::vector<uint8_t>& binary) {
    if (binary.size() != kImageBytes) return false;
    for (uint32_t page = 0; page < kImageBytes / 256; ++page) {
        const kv::CLineImage* p = image.Page(page);
        if (!p || std::memcmp(p->Bytes().data(), binary.data() + page * 256, 256) != 0) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--load") == 0) return LoadOnly(argv[2]);
    if (argc == 2 && std::strcmp(argv[1], "--idle") == 0) return 0;

    // The baseline comes first, from a process that never held the file:
    // Linux hands a spawned child the parent's peak RSS as its own starting
    // ru_maxrss, so an idle child spawned after the file was generated would
    // report the parent's peak and hide part of the load's memory.
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const ChildRun idle = Spawn({self, "--idle"}, false);

    char dirTemplate[] = "/tmp/kv-bench-XXXXXX";
    if (!mkdtemp(dirTemplate)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = dirTemplate;
    const std::string mot = dir + "/image.mot";

    auto start = std::chrono::steady_clock::now();
    Generate(mot);
    const auto fileBytes = std::filesystem::file_size(mot);
    std::printf("Generated %s: %.1f MB of S3 records (%u data bytes each) for a %u MiB image in %.2f s\n", mot.c_str(),
                static_cast<double>(fileBytes) / 1e6, kRecordBytes, kImageBytes >> 20, Seconds(start));

    // Ours, in a child of its own: load time and peak memory.
    const ChildRun ours = Spawn({self, "--load", mot}, true);
    double ourSeconds = 0;
    int ourResult = 0;
    size_t ourPages = 0;
    if (!ours.started || std::sscanf(ours.output.c_str(), "%lf %d %zu", &ourSeconds, &ourResult, &ourPages) != 3) {
        std::fprintf(stderr, "the load child failed\n");
        return 1;
    }
    // And in this process, best of three, to check the result.
    kv::CMotFile image;
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        start = std::chrono::steady_clock::now();
        ourResult = image.LoadFile(mot);
        best = std::min(best, Seconds(start));
    }
    std::printf(
        "\nCMotFile::LoadFile     %7.3f s  (first load in a fresh process; best of 3 here %.3f s, %.0f MB/s)"
        "  result %d, %zu pages\n",
        ourSeconds, best, static_cast<double>(fileBytes) / 1e6 / best, ourResult, ourPages);

    struct Tool {
        const char* label;
        std::vector<std::string> args;
        std::string output;
    };
    const std::vector<Tool> tools = {
        {"srec_cat", {"srec_cat", mot, "-Motorola", "-o", dir + "/srec_cat.bin", "-Binary"}, dir + "/srec_cat.bin"},
        {"objcopy", {"objcopy", "-I", "srec", "-O", "binary", mot, dir + "/objcopy.bin"}, dir + "/objcopy.bin"},
    };
    for (const Tool& tool : tools) {
        const ChildRun run = Spawn(tool.args, false);
        if (!run.started || run.exitCode == 127) {
            std::printf("%-22s  not installed, skipped\n", tool.label);
            continue;
        }
        if (run.exitCode != 0) {
            std::printf("%-22s  failed (exit %d), skipped\n", tool.label, run.exitCode);
            continue;
        }
        const auto binary = ReadAll(tool.output);
        const bool same = binary && SameAsImage(image, *binary);
        std::printf(
            "%-22s %7.3f s  -> ours is %.1fx faster (fresh process), %.1fx (best of 3); peak RSS %.1f MiB;"
            " output %s our image\n",
            tool.label, run.wallSeconds, run.wallSeconds / ourSeconds, run.wallSeconds / best,
            static_cast<double>(run.maxRssKiB) / 1024.0, same ? "equals" : "DIFFERS FROM");
    }

    const double pagesMiB = static_cast<double>(ourPages) * 256 / 1048576.0;
    const double tableMiB = static_cast<double>(kv::CMotFile::kPages * sizeof(void*)) / 1048576.0;
    const double loadMiB = static_cast<double>(ours.maxRssKiB - idle.maxRssKiB) / 1024.0;
    std::printf("\nPeak RSS of the load:  %.1f MiB above an idle process (%.1f MiB in all, idle %.1f MiB)\n", loadMiB,
                static_cast<double>(ours.maxRssKiB) / 1024.0, static_cast<double>(idle.maxRssKiB) / 1024.0);
    std::printf(
        "Image data:            %zu pages x 256 = %.1f MiB + table %.1f MiB = %.1f MiB  (ratio %.2f;"
        " file %.1f MiB)\n",
        ourPages, pagesMiB, tableMiB, pagesMiB + tableMiB, loadMiB / (pagesMiB + tableMiB),
        static_cast<double>(fileBytes) / 1048576.0);

    std::filesystem::remove_all(dir);
    return 0;
}
