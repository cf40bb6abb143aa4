// CPU time and memory of Linux processes, read from /proc through Wine's Z: drive. Much of
// the work of a Wine program's messages and socket calls is done by the wineserver, so both
// are read.
#pragma once
#include <windows.h>

#include <cstdlib>
#include <string>

namespace bench {

// A /proc file of the Linux side, through Wine's Z: drive.
inline std::string ReadProc(const std::string& relative) {
    std::string path = "Z:\\proc\\" + relative;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "";
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
    CloseHandle(file);
    return text;
}

// User plus system time of a Linux process, in clock ticks; -1 if it can't be read.
inline long long CpuTicks(long pid) {
    if (pid <= 0) return -1;
    std::string stat = ReadProc(std::to_string(pid) + "\\stat");
    size_t after_name = stat.rfind(')');  // the name may hold blanks
    if (after_name == std::string::npos) return -1;
    // Fields after the name: state(3) ... utime(14) stime(15).
    const char* p = stat.c_str() + after_name + 1;
    long long fields[13] = {};
    char* end = nullptr;
    for (int i = 3; i <= 15; ++i) {
        while (*p == ' ') ++p;
        if (i == 3) {
            ++p;  // the state letter
            continue;
        }
        fields[i - 3] = std::strtoll(p, &end, 10);
        p = end;
    }
    return fields[11] + fields[12];
}

// A "Vm..." line of /proc/PID/status, in kB; -1 if it can't be read.
inline long StatusKb(long pid, const char* key) {
    std::string status = ReadProc(std::to_string(pid) + "\\status");
    size_t at = status.find(std::string(key) + ":");
    return at == std::string::npos ? -1 : std::atol(status.c_str() + at + std::string(key).size() + 1);
}

// CPU seconds of a process, of the wineserver and of the X server, read together: a Wine
// program's messages and socket calls are partly the wineserver's work, and its painting the
// X server's.
struct CpuReading {
    double own, server, x;  // -1 where unknown
};
inline double TickSeconds(long long ticks) {
    const char* per_second = std::getenv("VELTO_BENCH_CLK_TCK");
    return ticks < 0 ? -1 : static_cast<double>(ticks) / (per_second && *per_second ? std::atof(per_second) : 100.0);
}
inline long EnvPid(const char* name) {
    const char* pid = std::getenv(name);
    return pid ? std::atol(pid) : 0;
}
// The wineserver and X server of this run, from VELTO_BENCH_WINESERVER_PID and VELTO_BENCH_X_PID.
inline CpuReading ReadCpu(long pid) {
    return {TickSeconds(CpuTicks(pid)), TickSeconds(CpuTicks(EnvPid("VELTO_BENCH_WINESERVER_PID"))),
            TickSeconds(CpuTicks(EnvPid("VELTO_BENCH_X_PID")))};
}
// This process: not through /proc/self, which Wine opens in the wineserver.
inline CpuReading ReadOwnCpu() {
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    auto seconds = [](FILETIME t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    CpuReading reading = ReadCpu(0);
    reading.own = seconds(kernel) + seconds(user);
    return reading;
}
// Seconds spent between two readings; -1 if either is unknown.
inline double Spent(double from, double to) { return from < 0 || to < 0 ? -1 : to - from; }

}  // namespace bench
