#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>

// A private folder for the files a target writes, made once per process and removed at
// its end. In memory where there is a tmpfs: a file per run on disk costs most of a run.
inline const std::string &ScratchDir() {
    static const std::string dir = [] {
        std::string pattern = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
        pattern += "/rz8-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data()))
            std::abort();
        return pattern;
    }();
    static const struct TRemove {
        ~TRemove() { std::filesystem::remove_all(dir); }
    } remove;
    return dir;
}

inline void WriteFile(const std::string &path, std::string_view bytes) {
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0)
        std::abort();
}

inline std::string ReadFile(const std::string &path) {
    std::string text;
    std::FILE *f = std::fopen(path.c_str(), "rb");
    if (!f)
        std::abort();
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        text.append(buffer, n);
    std::fclose(f);
    return text;
}

// A finding: says what broke and stops, so libFuzzer keeps the input.
[[noreturn]] inline void Finding(const char *what) {
    std::fprintf(stderr, "FINDING: %s\n", what);
    std::abort();
}
