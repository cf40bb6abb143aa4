// Hostile and broken servers: a close at every stage of the conversation, a server that
// stalls, oversized and malformed messages, and the reference server pressed by bad clients
// while the real client works. The client must stay usable and say what happened.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "connect_steps.h"
#include "driver.h"
#include "peer.h"
#include "res/resource.h"
#include "transfer_support.h"

using namespace e2e;

namespace {

constexpr const char* kPassword = "pw";

Lines Sorted(Lines lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

// A Client with its main window, file list and progress bar, for one scenario.
struct Session {
    Client client;
    HWND main_window = nullptr;
    HWND list = nullptr;
    HWND bar = nullptr;
    ConnectBoxes boxes;

    ::testing::AssertionResult Start() {
        if (!client.Start()) return ::testing::AssertionFailure() << "cannot start the client";
        main_window = client.MainWindow();
        if (!main_window) return ::testing::AssertionFailure() << "no main window";
        list = FileListOf(main_window);
        bar = ProgressBarOf(main_window);
        boxes = FindConnectBoxes(client);
        if (!list || !bar || !boxes.button)
            return ::testing::AssertionFailure() << "main or connect window incomplete";
        return ::testing::AssertionSuccess();
    }
    bool Connect(int port) {
        return TypeAndConnect(client, main_window, "127.0.0.1", std::to_string(port), kPassword);
    }
    bool LogIn(int port, const std::string& password = kPassword) {
        return ConnectAndAccept(client, "127.0.0.1", port, password);
    }
    bool ButtonEnabled() const { return IsWindowEnabled(boxes.button) != FALSE; }
    size_t LogMark() const { return LogLines(main_window).size(); }

    // After the server's close: the list emptied and disabled, the button back, the bar at 0.
    void ExpectServerCloseCleanUp() const {
        EXPECT_TRUE(WaitUntil([&] { return ButtonEnabled(); }));
        EXPECT_TRUE(WaitUntil([&] { return ListBoxCount(list) == 0; }));
        EXPECT_FALSE(IsWindowEnabled(list));
        EXPECT_EQ(ProgressPos(bar), 0);
        EXPECT_TRUE(client.Running());
    }
};

// ---- The server closes at each stage ----

enum class Stage { BeforePrompt, AtAgreement, InListing, InDownload };

// The peer's script of the first connection, up to its close: a Hold marks the moment
// before the close, so that the scenario can look at the client just before it.
std::vector<PeerStep> ScriptUpToClose(Stage stage, const std::string& file_part) {
    switch (stage) {
    case Stage::BeforePrompt:
        return {Expect("velto"), Hold(), Close()};
    case Stage::AtAgreement:
        return {Expect("velto"), Send({"Enter password:"}), Expect(kPassword), Send({"Terms."}),
                Hold(), Close()};
    case Stage::InListing:
        // A shown list, then a change of directory whose listing never ends.
        return Then(PeerLogin(kPassword),
                    {SendListing("[d]\nb\n"), Expect("cd d"), Expect("ls"),
                     Send({"#/d", "Listing length:100", "x\ny\n"}, 300), Hold(), Close()});
    case Stage::InDownload:
        return Then(PeerLogin(kPassword),
                    {SendListing("data.bin\n"), Expect("get data.bin"),
                     Send({"data.bin<1000", file_part}, 300), Hold(), Close()});
    }
    return {};
}

TEST(FaultCloseE2E, ServerCloseAtEachStageLeavesTheClientUsableForTheNextConnection) {
    struct Case {
        const char* name;
        Stage stage;
    };
    const Case cases[] = {
        {"before the prompt", Stage::BeforePrompt},
        {"at the agreement", Stage::AtAgreement},
        {"in a listing", Stage::InListing},
        {"in a download", Stage::InDownload},
    };
    const std::string file_part = PatternBytes(300);  // of 1000 announced
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<PeerStep> second_connection = {
            Accept(), Expect("velto"), Send({"Enter password:"}), Expect(kPassword),
            Send({"Terms again."}), Expect("ls"), SendListing("again.txt\n")};
        Peer peer(Then(ScriptUpToClose(c.stage, file_part), second_connection));
        ASSERT_TRUE(peer.Listening());
        Session s;
        ASSERT_TRUE(s.Start());
        const std::string path = JoinPath(ReferenceServer().downloads, "fault-cut-off.bin");
        DeleteFileA(path.c_str());

        HWND agreement = nullptr;
        switch (c.stage) {
        case Stage::BeforePrompt:
            ASSERT_TRUE(s.Connect(peer.Port()));
            ASSERT_TRUE(WaitForLogLine(s.main_window, "Succesfully Connected Sending Handshake"));
            break;
        case Stage::AtAgreement:
            ASSERT_TRUE(s.Connect(peer.Port()));
            agreement = WaitForMessageBox(s.client, kAgreementCaption);
            ASSERT_NE(agreement, nullptr);
            break;
        case Stage::InListing:
            ASSERT_TRUE(s.LogIn(peer.Port()));
            ASSERT_TRUE(WaitForEntries(s.main_window, {"..", "[d]", "b"}));
            ASSERT_TRUE(DoubleClickEntry(s.main_window, "[d]"));
            ASSERT_TRUE(WaitForLogLine(s.main_window, "Listing Directory of Length of 100"));
            Sleep(500);  // time for the part of the listing to arrive
            EXPECT_EQ(ListBoxEntries(s.list), (Lines{"..", "[d]", "b"}));
            break;
        case Stage::InDownload:
            ASSERT_TRUE(s.LogIn(peer.Port()));
            ASSERT_TRUE(WaitForEntries(s.main_window, {"..", "data.bin"}));
            ASSERT_TRUE(SaveEntryAs(s.client, s.main_window, "data.bin", path));
            ASSERT_TRUE(WaitForLogLine(s.main_window, "Creating file data.bin of size 1000"));
            ASSERT_TRUE(WaitUntil([&] { return ProgressPos(s.bar) == 2; }))  // 256 + 44 bytes
                << "progress " << ProgressPos(s.bar);
            EXPECT_FALSE(IsWindowEnabled(s.list));
            break;
        }
        EXPECT_FALSE(s.ButtonEnabled());

        // The close: visible clean-up, no log line, the title kept.
        size_t mark = s.LogMark();
        peer.Release();
        s.ExpectServerCloseCleanUp();
        Sleep(300);
        EXPECT_EQ(LogLinesSince(s.main_window, mark), Lines{});
        EXPECT_EQ(GetText(s.main_window), "VELTO ZUrod GUI - Connected.");
        if (agreement) {
            // The question outlived the connection; answering it goes nowhere, harmlessly.
            AnswerMessageBox(agreement, IDYES);
            EXPECT_TRUE(WaitForLogLine(s.main_window, "Accepted Agreement Listing Directory."));
        }

        // The next connection, to the same peer, goes the whole way.
        mark = s.LogMark();
        ASSERT_TRUE(s.LogIn(peer.Port()));
        EXPECT_TRUE(WaitForEntries(s.main_window, {"..", "again.txt"}));
        EXPECT_TRUE(peer.WaitDone()) << peer.Failure();
        Lines expected = {"Succesfully Connected Sending Handshake", "Sending password info...",
                          "Accepted Agreement Listing Directory.",
                          "Listing Directory of Length of 10"};
        if (c.stage == Stage::InDownload)
            expected.insert(expected.begin() + 1, "Already reciving a file cannot connect!");
        EXPECT_EQ(LogLinesSince(s.main_window, mark), expected);
        if (c.stage == Stage::InDownload) {
            // What had arrived is kept, and nothing of the new connection was written to it.
            EXPECT_TRUE(FileHolds(path, file_part));
        }
    }
}

// ---- A server that stalls ----

// The driver's read of the log, bounded by one second; the milliseconds it took, or -1.
double TimedLogRead(HWND main_window) {
    HWND log = LogViewOf(main_window);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    DWORD_PTR length = 0;
    if (!log || !SendMessageTimeoutA(log, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 1000, &length))
        return -1;
    QueryPerformanceCounter(&end);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

TEST(FaultStallE2E, StalledListingOrDownloadLeavesTheWindowsAnsweringAndDisconnectWorks) {
    struct Case {
        const char* name;
        bool download;
    };
    const Case cases[] = {{"listing", false}, {"download", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<PeerStep> stall = {Send({"Listing length:1000", "a\nb\n"}, 300), Hold()};
        if (c.download)
            stall = {SendListing("data.bin\n"), Expect("get data.bin"),
                     Send({"data.bin<1000", PatternBytes(300)}, 300), Hold()};
        Peer peer(Then(PeerLogin(kPassword), stall));
        ASSERT_TRUE(peer.Listening());
        Session s;
        ASSERT_TRUE(s.Start());
        ASSERT_TRUE(s.LogIn(peer.Port()));
        if (c.download) {
            ASSERT_TRUE(WaitForEntries(s.main_window, {"..", "data.bin"}));
            std::string path = JoinPath(ReferenceServer().downloads, "fault-stalled.bin");
            ASSERT_TRUE(SaveEntryAs(s.client, s.main_window, "data.bin", path));
            ASSERT_TRUE(WaitUntil([&] { return ProgressPos(s.bar) == 2; }));
        } else {
            ASSERT_TRUE(WaitForLogLine(s.main_window, "Listing Directory of Length of 1000"));
        }
        Sleep(500);  // time for the last read to arrive

        // Stalled: the windows keep answering at once.
        double slowest = 0;
        for (int i = 0; i < 5; ++i) {
            double ms = TimedLogRead(s.main_window);
            ASSERT_GE(ms, 0) << "the log did not answer within a second";
            slowest = std::max(slowest, ms);
            Sleep(100);
        }
        std::printf("stalled %s: the slowest of 5 log reads took %.2f ms\n", c.name, slowest);
        RecordProperty(std::string("stalled_") + c.name + "_slowest_log_read_ms",
                       std::to_string(slowest));
        PostCommand(s.main_window, IDM_CONNECT);
        EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(s.boxes.window) != FALSE; }, 1000));
        EXPECT_FALSE(s.ButtonEnabled());  // still connected: no second connection
        PostClose(s.boxes.window);

        size_t mark = s.LogMark();
        PostCommand(s.main_window, IDM_DISCONNECT);
        EXPECT_TRUE(WaitForTitle(s.main_window, "VELTO - ZUrod GUI - Disconnected."));
        EXPECT_TRUE(WaitUntil([&] { return s.ButtonEnabled(); }));
        EXPECT_EQ(LogLinesSince(s.main_window, mark), Lines{"Disconnected!."});
        peer.Release();
        EXPECT_TRUE(WaitUntil([&] { return peer.ClientClosed(); })) << "the socket stayed open";
    }
}

// ---- Oversized and malformed messages ----

std::string Letters(size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) text += static_cast<char>('a' + i % 26);
    return text;
}

// A message fills the whole 256-byte read without a NUL: it is taken whole, never read past.
// A longer one is cut into reads of 256: the rest, without a marker, is ignored.
TEST(FaultMalformedE2E, MessagesWithoutNulAreTakenWholeUpTo256Bytes) {
    const std::string agreement = Letters(256);
    const std::string notice = "{" + Letters(254) + "}";
    const std::string long_notice = "{" + Letters(299);
    Peer peer({Expect("velto"), Send({"Enter password:"}), Expect(kPassword), Send({agreement}),
               Expect("ls"), Send({notice, long_notice, "{end}"}, 300)});
    Session s;
    ASSERT_TRUE(s.Start());
    ASSERT_TRUE(s.Connect(peer.Port()));
    // Marked before the answer, which sends "ls" at once: the peer's first notice may be
    // logged before AnswerAgreement returns. Nothing is logged between these two lines.
    ASSERT_TRUE(WaitForLogLine(s.main_window, "Sending password info..."));
    size_t mark = s.LogMark();
    EXPECT_EQ(AnswerAgreement(s.client, IDYES), agreement);
    ASSERT_TRUE(WaitForLogLine(s.main_window, "{end}"));
    EXPECT_EQ(LogLinesSince(s.main_window, mark),
              (Lines{"Accepted Agreement Listing Directory.", notice, long_notice.substr(0, 256),
                     "{end}"}));
    EXPECT_TRUE(peer.WaitDone()) << peer.Failure();
}

// The count takes every byte of a read, the listing text only those before its first NUL.
TEST(FaultMalformedE2E, ListingTextStopsAtEachReadsFirstNul) {
    const std::string first("ab\0junk\n", 8);
    const std::string second("cd\n\0\0\0\0", 7);
    Peer peer(Then(PeerLogin(kPassword), {Send({"Listing length:15", first, second}, 300)}));
    Session s;
    ASSERT_TRUE(s.Start());
    ASSERT_TRUE(s.LogIn(peer.Port()));
    EXPECT_TRUE(WaitForEntries(s.main_window, {"..", "abcd"}));
    EXPECT_TRUE(peer.WaitDone()) << peer.Failure();
    EXPECT_TRUE(s.client.Running());
}

TEST(FaultMalformedE2E, ListingOf20000EntriesIsShownWhole) {
    constexpr int kEntries = 20000;
    std::string text;
    char entry[32];
    for (int i = 0; i < kEntries; ++i) {
        std::snprintf(entry, sizeof entry, "entry-%05d.txt\n", i);
        text += entry;
    }
    Peer peer(Then(PeerLogin(kPassword), {SendListing(text)}));
    Session s;
    ASSERT_TRUE(s.Start());
    ASSERT_TRUE(s.LogIn(peer.Port()));
    ASSERT_TRUE(WaitForLogLine(s.main_window,
                               "Listing Directory of Length of " + std::to_string(text.size())));
    DWORD start = GetTickCount();
    EXPECT_TRUE(WaitUntil([&] { return ListBoxCount(s.list) == kEntries + 1; }, 60000))
        << "the list shows " << ListBoxCount(s.list) << " entries";
    std::printf("a listing of %d entries (%zu bytes) was shown %lu ms after its header\n",
                kEntries, text.size(), GetTickCount() - start);
    EXPECT_TRUE(IsWindowEnabled(s.list));
    // Drawn again after the fill: its scroll bar shows that there is more than fits.
    EXPECT_TRUE(WaitUntil([&] { return (StyleOf(s.list) & WS_VSCROLL) != 0; }));
    EXPECT_FALSE(SaveWindowShot(s.main_window, "fault-20000-entries").empty());
    EXPECT_TRUE(peer.WaitDone()) << peer.Failure();
}

// Entries of 300 characters are listed whole; their commands would not fit a block and are
// refused, not cut, and no Save dialog is asked for; the list goes on working.
TEST(FaultMalformedE2E, EntriesOf300CharactersAreListedAndTheirCommandsRefused) {
    const std::string directory = "dir-" + std::string(296, 'd');
    const std::string file = "file-" + std::string(295, 'f');
    Peer peer(Then(PeerLogin(kPassword), {SendListing("[" + directory + "]\n" + file + "\n"),
                                          Expect("cd .."), Expect("ls")}));
    Session s;
    ASSERT_TRUE(s.Start());
    ASSERT_TRUE(s.LogIn(peer.Port()));
    ASSERT_TRUE(WaitForEntries(s.main_window, {"..", "[" + directory + "]", file}));

    ASSERT_TRUE(DoubleClickEntry(s.main_window, file));
    EXPECT_TRUE(WaitForLogLine(s.main_window, "Name too long, command not sent: get " + file));
    Sleep(300);
    EXPECT_EQ(s.client.FindWindowOf("#32770", "Save File"), nullptr);
    ASSERT_TRUE(DoubleClickEntry(s.main_window, "[" + directory + "]"));
    EXPECT_TRUE(WaitForLogLine(s.main_window, "Name too long, command not sent: cd " + directory));

    ASSERT_TRUE(DoubleClickEntry(s.main_window, ".."));
    EXPECT_TRUE(peer.WaitDone()) << peer.Failure();
    EXPECT_EQ(peer.BlockTexts(), (Lines{"velto", kPassword, "ls", "cd ..", "ls"}));
}

// "%n" and "%s" in names, replies and notices are shown as they are and sent as they are.
TEST(FaultMalformedE2E, FormatDirectivesInServerTextsAreTakenLiterally) {
    Peer peer(Then(PeerLogin(kPassword),
                   {SendListing("%n%n%n.txt\n[%s%n]\n%s%s%s%s.bin\n"), Expect("cd %s%n"),
                    Expect("ls"),
                    Send({"#/%s%n%d", "{100%n%s done}", "Listing length:5", "%x%p\n"}, 300)}));
    Session s;
    ASSERT_TRUE(s.Start());
    ASSERT_TRUE(s.LogIn(peer.Port()));
    ASSERT_TRUE(WaitUntil([&] { return ListBoxCount(s.list) == 4; }));
    EXPECT_EQ(Sorted(ListBoxEntries(s.list)),
              Sorted({"..", "%n%n%n.txt", "[%s%n]", "%s%s%s%s.bin"}));

    size_t mark = s.LogMark();
    ASSERT_TRUE(DoubleClickEntry(s.main_window, "[%s%n]"));
    EXPECT_TRUE(
        WaitUntil([&] { return Sorted(ListBoxEntries(s.list)) == Sorted({"..", "%x%p"}); }));
    EXPECT_EQ(LogLinesSince(s.main_window, mark),
              (Lines{"CD Directory to /%s%n%d", "{100%n%s done}",
                     "Listing Directory of Length of 5"}));
    EXPECT_TRUE(peer.WaitDone()) << peer.Failure();
}

// A size of 2^32 - 1 is logged as -1; the bar's range is the size in 256-byte units, cut to
// 16 bits. The server then closes: the client cleans up and the next connection ends the
// cut-off file instead of writing into it.
TEST(FaultMalformedE2E, HugeAnnouncedSizeThenCloseLeavesTheClientUsable) {
    const std::string data = PatternBytes(600);
    Peer peer(Then(PeerLogin(kPassword),
                   {SendListing("huge.bin\n"), Expect("get huge.bin"),
                    Send({"huge.bin<4294967295", data}, 300), Hold(), Close(), Accept(),
                    Expect("velto"), Send({"Enter password:"}), Expect(kPassword)}));
    Session s;
    ASSERT_TRUE(s.Start());
    ASSERT_TRUE(s.LogIn(peer.Port()));
    ASSERT_TRUE(WaitForEntries(s.main_window, {"..", "huge.bin"}));
    std::string path = JoinPath(ReferenceServer().downloads, "fault-huge.bin");
    ASSERT_TRUE(SaveEntryAs(s.client, s.main_window, "huge.bin", path));
    EXPECT_TRUE(WaitForLogLine(s.main_window, "Creating file huge.bin of size -1"));
    EXPECT_EQ(ProgressRange(s.bar), std::make_pair(0, 65535));
    EXPECT_TRUE(WaitUntil([&] { return ProgressPos(s.bar) == 3; }))  // 256 + 256 + 88 bytes
        << "progress " << ProgressPos(s.bar);

    peer.Release();
    s.ExpectServerCloseCleanUp();
    size_t mark = s.LogMark();
    ASSERT_TRUE(s.Connect(peer.Port()));
    EXPECT_TRUE(peer.WaitDone()) << peer.Failure();
    EXPECT_TRUE(WaitForLogLine(s.main_window, "Sending password info..."));
    EXPECT_EQ(LogLinesSince(s.main_window, mark),
              (Lines{"Succesfully Connected Sending Handshake",
                     "Already reciving a file cannot connect!", "Sending password info..."}));
    EXPECT_TRUE(FileHolds(path, data));
}

// ---- The reference server under load from bad clients ----

SOCKET ConnectToLoopback(int port) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(port));
    if (s != INVALID_SOCKET &&
        connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

std::string Block(const std::string& text) {
    return text + std::string(kBlockSize - text.size(), '\0');
}

// A figure of /proc/<pid>/status of the server (Wine shows / as Z:), e.g. "3000 kB".
std::string ServerStatus(const char* field) {
    std::string pid = EnvOr("VELTO_E2E_SERVER_PID", "");
    std::string status;
    if (pid.empty() || !ReadFileBytes("Z:\\proc\\" + pid + "\\status", &status)) return "unknown";
    size_t at = status.find("\n" + std::string(field) + ":");
    if (at == std::string::npos) return "unknown";
    at = status.find_first_not_of(" \t", at + std::string(field).size() + 2);
    return status.substr(at, status.find('\n', at) - at);
}

// Bad clients of the reference server: connections that never speak, one that speaks a byte
// a second, and one that floods it with unknown commands and reads the answers.
class BadClients {
public:
    BadClients(int port, const std::string& password) : port_(port), password_(password) {}
    ~BadClients() { Stop(); }

    void Start(int idle_count) {
        flood_ = std::thread([this] { Flood(); });
        slow_ = std::thread([this] { Slow(); });
        for (int i = 0; i < idle_count; ++i) {
            SOCKET s = ConnectToLoopback(port_);
            if (s != INVALID_SOCKET) idle_.push_back(s);
        }
    }
    void Stop() {
        stop_ = true;
        if (flood_.joinable()) flood_.join();
        if (slow_.joinable()) slow_.join();
        for (SOCKET s : idle_) closesocket(s);
        idle_.clear();
    }
    size_t IdleConnected() const { return idle_.size(); }
    long FloodBlocks() const { return flood_blocks_; }
    long FloodBytesRead() const { return flood_read_; }
    int SlowBytes() const { return slow_bytes_; }

private:
    void Slow() {
        SOCKET s = ConnectToLoopback(port_);
        if (s == INVALID_SOCKET) return;
        const std::string handshake = Block("velto");
        for (size_t i = 0; !stop_ && i < handshake.size(); ++i) {
            if (send(s, &handshake[i], 1, 0) != 1) break;
            ++slow_bytes_;
            for (int waited = 0; !stop_ && waited < 1000; waited += 50) Sleep(50);
        }
        closesocket(s);
    }

    void Flood() {
        SOCKET s = ConnectToLoopback(port_);
        if (s == INVALID_SOCKET) return;
        u_long non_blocking = 1;
        ioctlsocket(s, FIONBIO, &non_blocking);
        std::string out = Block("velto") + Block(password_);
        size_t sent = 0;
        long blocks = 0;
        char answer[4096];
        while (!stop_) {
            if (sent == out.size()) {
                out = Block("bogus command " + std::to_string(blocks));
                sent = 0;
            }
            fd_set readable, writable;
            FD_ZERO(&readable);
            FD_ZERO(&writable);
            FD_SET(s, &readable);
            FD_SET(s, &writable);
            timeval wait{0, 50000};
            if (select(0, &readable, &writable, nullptr, &wait) <= 0) continue;
            if (FD_ISSET(s, &readable)) {
                int got = recv(s, answer, sizeof answer, 0);
                if (got <= 0) break;  // the server closed it
                flood_read_ += got;
            }
            if (FD_ISSET(s, &writable)) {
                int put = send(s, out.data() + sent, static_cast<int>(out.size() - sent), 0);
                if (put > 0) {
                    sent += static_cast<size_t>(put);
                    if (sent == out.size()) flood_blocks_ = ++blocks;
                }
            }
        }
        closesocket(s);
    }

    int port_;
    std::string password_;
    std::atomic<bool> stop_{false};
    std::thread flood_, slow_;
    std::vector<SOCKET> idle_;
    std::atomic<long> flood_blocks_{0}, flood_read_{0};
    std::atomic<int> slow_bytes_{0};
};

TEST(FaultLoadE2E, ReferenceServerServesTheClientWhileBadClientsPressIt) {
    ReferenceServer server;
    ASSERT_NE(server.port, 0) << "VELTO_E2E_PORT is not set: run scripts/e2e.sh";
    WinsockUser winsock;
    std::printf("server before the load: resident %s, peak %s\n", ServerStatus("VmRSS").c_str(),
                ServerStatus("VmHWM").c_str());

    BadClients bad(server.port, server.password);
    bad.Start(200);
    EXPECT_EQ(bad.IdleConnected(), 200u);  // the connections are made, whatever the server does
    Sleep(500);

    Session s;
    ASSERT_TRUE(s.Start());
    ASSERT_TRUE(s.LogIn(server.port, server.password))
        << "the real client did not get to the agreement";
    ASSERT_TRUE(WaitUntil([&] { return EntryIndex(s.main_window, "data.bin") >= 0; }));
    std::string path = JoinPath(server.downloads, "fault-load-data.bin");
    ASSERT_TRUE(SaveEntryAs(s.client, s.main_window, "data.bin", path));
    EXPECT_TRUE(WaitForLogLine(s.main_window, "File " + path + " successfully transfered!."));
    std::string expected;
    ASSERT_TRUE(ReadFileBytes(JoinPath(server.root, "data.bin"), &expected));
    EXPECT_EQ(expected.size(), 1000u);
    EXPECT_TRUE(FileHolds(path, expected));

    std::printf("under load: %zu idle connections, %d bytes from the slow client, %ld unknown "
                "commands flooded (%ld bytes of answers read)\n",
                bad.IdleConnected(), bad.SlowBytes(), bad.FloodBlocks(), bad.FloodBytesRead());
    std::string peak = ServerStatus("VmHWM");
    std::printf("server under load: resident %s, peak %s\n", ServerStatus("VmRSS").c_str(),
                peak.c_str());
    RecordProperty("server_peak_resident", peak);
    EXPECT_GT(bad.FloodBlocks(), 0);
    bad.Stop();
}

}  // namespace
