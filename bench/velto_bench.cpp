// Drives the real client through one download with the end-to-end driver and measures what
// it costs: start-up time, CPU while idle and connected, the download's time and the peak
// resident memory. CPU and memory come from /proc of the client's Wine process (found by its
// command line, the unique path of velto.exe) and of the wineserver, which does much of the
// work of every message and socket call.
//
//   velto_bench PORT PASSWORD NAME SOURCE OUT_DIR [IDLE_SECONDS [LABEL]]
//
// SOURCE is the served file (a Unix path), OUT_DIR where the client saves its copy (as
// NAME.LABEL). IDLE_SECONDS 0 skips the idle measurement. LABEL (default "client") names the
// result lines: LABEL_startup, LABEL_idle and LABEL.
// Environment: VELTO_EXE (Unix path of velto.exe, unique to the run), VELTO_BENCH_WINESERVER_PID,
// VELTO_BENCH_X_PID, VELTO_BENCH_CLK_TCK (default 100). Prints "RESULT ..." lines for
// download_bench.sh.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver.h"
#include "proc_stat.h"
#include "reader_wire.h"

using namespace e2e;

namespace {

// "Z:\a\b" or "/a/b" -> "/a/b", lower case, for comparing paths.
std::string UnixKey(std::string path) {
    if (path.size() > 1 && (path[0] == 'Z' || path[0] == 'z') && path[1] == ':') path.erase(0, 2);
    for (char& c : path) c = c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return path;
}

// The Linux pid of the Wine process whose program is `exe` (a Unix path); 0 if none.
long FindUnixPid(const std::string& exe) {
    const std::string wanted = UnixKey(exe);
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA("Z:\\proc\\*", &entry);
    if (search == INVALID_HANDLE_VALUE) return 0;
    long found = 0;
    do {
        const char* name = entry.cFileName;
        if (!std::isdigit(static_cast<unsigned char>(name[0]))) continue;
        std::string cmdline = bench::ReadProc(std::string(name) + "\\cmdline");
        std::string program = cmdline.substr(0, cmdline.find('\0'));
        if (!program.empty() && UnixKey(program) == wanted) found = std::atol(name);
    } while (!found && FindNextFileA(search, &entry));
    FindClose(search);
    return found;
}

bool SameFiles(const std::string& a, const std::string& b) {
    FILE* first = std::fopen(a.c_str(), "rb");
    FILE* second = std::fopen(b.c_str(), "rb");
    bool same = first && second;
    std::vector<char> x(1 << 20), y(1 << 20);
    while (same) {
        size_t got_x = std::fread(x.data(), 1, x.size(), first);
        size_t got_y = std::fread(y.data(), 1, y.size(), second);
        same = got_x == got_y && std::equal(x.begin(), x.begin() + got_x, y.begin());
        if (got_x == 0) break;
    }
    if (first) std::fclose(first);
    if (second) std::fclose(second);
    return same;
}

int Fail(const char* what) {
    std::fprintf(stderr, "velto_bench: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr,
                     "usage: velto_bench PORT PASSWORD NAME SOURCE OUT_DIR [IDLE_SECONDS [LABEL]]\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const std::string password = argv[2];
    const std::string name = argv[3];
    const std::string source = WindowsPath(argv[4]);
    const DWORD idle_ms = static_cast<DWORD>((argc > 6 ? std::atof(argv[6]) : 10.0) * 1000);
    const std::string label = argc > 7 ? argv[7] : "client";
    const std::string saved = WindowsPath(std::string(argv[5]) + "/" + name + "." + label);
    const std::string exe_unix = EnvOr("VELTO_EXE", "");
    if (exe_unix.empty()) return Fail("VELTO_EXE is not set");

    // The pointer out of the way: over the file list or the log it would bring up a tooltip,
    // whose drawing would count as the client's idle work.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);

    // Start-up: from the process's creation to its main window being shown.
    Client client;
    const double started = bench::Seconds();
    if (!client.Start(ClientExePath())) return Fail("cannot start the client");
    HWND main_window = nullptr;
    while (bench::Seconds() - started < 60) {
        main_window = client.FindWindowOf("velto", nullptr);
        if (main_window && IsWindowVisible(main_window)) break;
        main_window = nullptr;
        Sleep(1);
    }
    if (!main_window) return Fail("no main window");
    std::printf("RESULT %s_startup seconds=%.3f\n", label.c_str(), bench::Seconds() - started);

    long client_pid = 0;
    WaitUntil([&] { return (client_pid = FindUnixPid(exe_unix)) != 0; }, 5000);
    if (!client_pid) return Fail("cannot find the client's Linux process");

    // Connected and listed, as a user would leave it.
    if (!ConnectTo(client, "127.0.0.1", port, password)) return Fail("cannot connect");
    HWND box = WaitForMessageBox(client, "Do you accept the agreement?");
    if (!box) return Fail("no agreement question");
    AnswerMessageBox(box, IDYES);
    HWND list = FileListOf(main_window);
    int index = -1;
    WaitUntil([&] {
        std::vector<std::string> entries = ListBoxEntries(list);
        for (size_t i = 0; i < entries.size(); ++i)
            if (entries[i] == name) index = static_cast<int>(i);
        return index >= 0 && IsWindowEnabled(list);
    });
    if (index < 0) return Fail("the file is not listed");

    // Idle: nothing happens but the panel's timer.
    bench::CpuReading before, after;
    if (idle_ms > 0) {
        Sleep(1000);
        before = bench::ReadCpu(client_pid);
        double idle_start = bench::Seconds();
        Sleep(idle_ms);
        after = bench::ReadCpu(client_pid);
        double idle_seconds = bench::Seconds() - idle_start;
        std::printf("RESULT %s_idle seconds=%.3f cpu_percent=%.1f wineserver_cpu_percent=%.1f "
                    "x_cpu_percent=%.1f rss_kb=%ld\n",
                    label.c_str(), idle_seconds,
                    100 * bench::Spent(before.own, after.own) / idle_seconds,
                    100 * bench::Spent(before.server, after.server) / idle_seconds,
                    100 * bench::Spent(before.x, after.x) / idle_seconds,
                    bench::StatusKb(client_pid, "VmRSS"));
        std::fflush(stdout);
    }

    // The download: double-click, Save dialog, then the log's completion line.
    DeleteFileA(saved.c_str());
    HWND log = LogViewOf(main_window);
    const double clicked = bench::Seconds();
    if (!DoubleClickListEntry(main_window, index)) return Fail("cannot double-click the file");
    HWND dialog = client.WaitForWindow("#32770", "Save File");
    if (!dialog || !FillSaveDialog(dialog, saved)) return Fail("no Save dialog");
    // From here on it is the transfer, timed and counted as the readers time theirs.
    const double confirmed = bench::Seconds();
    before = bench::ReadCpu(client_pid);

    const std::string done_line = "File " + saved + " successfully transfered!.";
    const std::string failed_line = "File " + saved + " was not transfered!.";
    double done = 0;
    bool failed = false;
    // Watching costs the client a message of its own each time: a length query every 50 ms,
    // the text only when the log has grown.
    DWORD_PTR seen_length = 0;
    while (client.Running() && done == 0 && !failed && bench::Seconds() - confirmed < 1800) {
        Sleep(50);
        DWORD_PTR length = 0;
        SendMessageTimeoutA(log, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length);
        if (length == seen_length) continue;
        seen_length = length;
        for (const std::string& line : LogLines(main_window)) {
            if (line == done_line) done = bench::Seconds();
            if (line == failed_line) failed = true;
        }
    }
    after = bench::ReadCpu(client_pid);
    if (!client.Running()) return Fail("the client ended during the download");
    if (failed || done == 0) return Fail("the download did not complete");
    const long peak_kb = bench::StatusKb(client_pid, "VmHWM");
    client.Kill();

    WIN32_FILE_ATTRIBUTE_DATA attributes;
    unsigned long bytes = 0;
    if (GetFileAttributesExA(saved.c_str(), GetFileExInfoStandard, &attributes))
        bytes = attributes.nFileSizeLow;
    const bool same = SameFiles(source, saved);
    std::printf("RESULT %s seconds=%.3f transfer_seconds=%.3f bytes=%lu mbps=%.3f "
                "peak_rss_kb=%ld cpu_seconds=%.2f wineserver_cpu_seconds=%.2f x_cpu_seconds=%.2f "
                "same=%d\n",
                label.c_str(), done - clicked, done - confirmed, bytes, bytes / (done - confirmed) / 1e6, peak_kb,
                bench::Spent(before.own, after.own), bench::Spent(before.server, after.server),
                bench::Spent(before.x, after.x),
                same ? 1 : 0);
    std::fflush(stdout);
    return same ? 0 : Fail("the saved file differs from the served one");
}
