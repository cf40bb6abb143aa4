// What the two bare readers need of the wire: command blocks out, and the numbers in the
// server's listing header and file header. Kept apart from the client's own code so that the
// readers carry nothing the client has.
#pragma once
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "proc_stat.h"

namespace bench {

constexpr int kBlockSize = 256;  // every command, and every server message but data

// The text, its NUL and zeros, 256 bytes in all.
inline std::string CommandBlock(const std::string& text) {
    std::string block = text.substr(0, kBlockSize - 1);
    block.resize(kBlockSize, '\0');
    return block;
}

// "Listing length:N": the number after the last ':'; "NAME<N": the number after the first '<'.
inline unsigned long ListingLength(const char* block) {
    const char* colon = std::strrchr(block, ':');
    return colon ? std::strtoul(colon + 1, nullptr, 10) : 0;
}
inline bool FileSize(const char* block, unsigned long* size) {
    const char* mark = std::strchr(block, '<');
    if (!mark) return false;
    *size = std::strtoul(mark + 1, nullptr, 10);
    return true;
}

inline double Seconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// One line for download_bench.sh: "RESULT <what> seconds=<s> bytes=<n> ...", with the CPU
// seconds this process, the wineserver and the X server spent since `cpu_start`.
inline void PrintResult(const char* what, double seconds, unsigned long bytes,
                        const CpuReading& cpu_start) {
    const CpuReading cpu_end = ReadOwnCpu();
    std::printf("RESULT %s seconds=%.3f bytes=%lu mbps=%.3f cpu_seconds=%.2f "
                "wineserver_cpu_seconds=%.2f x_cpu_seconds=%.2f\n",
                what, seconds, bytes, seconds > 0 ? bytes / seconds / 1e6 : 0.0,
                Spent(cpu_start.own, cpu_end.own), Spent(cpu_start.server, cpu_end.server),
                Spent(cpu_start.x, cpu_end.x));
    std::fflush(stdout);
}

}  // namespace bench
