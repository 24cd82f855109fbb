// Helpers shared by the fuzz targets: a private folder for the files a
// target needs, made once per process, and a check that stops the fuzzer
// with a message when an expectation fails.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace fuzz_support {

// A folder of its own under /dev/shm when there is one (no disk writes per
// input), else under /tmp.
inline const std::string &ScratchFolder() {
    static const std::string folder = [] {
        std::string pattern =
            (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + std::string("/kavro-fuzz-XXXXXX");
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        return pattern;
    }();
    return folder;
}

inline void WriteBytes(const std::string &path, const void *data, size_t size) {
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
}

inline std::string ReadBytes(const std::string &path) {
    std::string bytes;
    FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    char block[4096];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) bytes.append(block, got);
    std::fclose(file);
    return bytes;
}

[[noreturn]] inline void Fail(const char *what, const std::string &detail) {
    std::fprintf(stderr, "expectation failed: %s\n%s\n", what, detail.c_str());
    std::abort();
}

}  // namespace fuzz_support
