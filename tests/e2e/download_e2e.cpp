// Downloads through the Save dialog: every file of the reference server byte for byte, the
// 16 MiB one timed; and through a scripted peer the progress bar read by read, a completion
// notice right behind the data, a size past 2 GiB, a server that closes mid-file and the
// gestures that must send nothing.
#include <gtest/gtest.h>

#include <cstdio>

#include "res/resource.h"
#include "transfer_support.h"

using namespace e2e;

namespace {

const char kNotice[] = "@transfer complete";

std::string SuccessLine(const std::string& path) {
    return "File " + path + " successfully transfered!.";
}

std::string CreatingLine(const std::string& name, long long size) {
    return "Creating file " + name + " of size " + std::to_string(size);
}

bool HasLineContaining(HWND main_window, const std::string& part) {
    for (const std::string& line : LogLines(main_window))
        if (line.find(part) != std::string::npos) return true;
    return false;
}

// Renaming a file fails while another process holds it open without FILE_SHARE_DELETE, as the
// client's output stream does.
bool CanRename(const std::string& path) {
    std::string moved = path + ".moved";
    if (!MoveFileA(path.c_str(), moved.c_str())) return false;
    MoveFileA(moved.c_str(), path.c_str());
    return true;
}

class DownloadE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(server.port, 0) << "VELTO_E2E_PORT is not set: run scripts/e2e.sh";
        ASSERT_TRUE(client.Start());
        main_window = client.MainWindow();
        ASSERT_NE(main_window, nullptr);
        list = FileListOf(main_window);
        bar = ProgressBarOf(main_window);
        ASSERT_TRUE(ConnectAndAccept(client, "127.0.0.1", server.port, server.password));
        ASSERT_TRUE(WaitUntil([&] { return EntryIndex(main_window, "small.txt") >= 0; }))
            << "no root listing";
    }

    ReferenceServer server;
    Client client;
    HWND main_window = nullptr;
    HWND list = nullptr;
    HWND bar = nullptr;
};

TEST_F(DownloadE2E, EveryFileArrivesByteForByteThroughTheSaveDialog) {
    struct Case {
        const char* directory;  // entered first and left afterwards, or null
        const char* entry;
        const char* source;     // under the server's root
        size_t longer_file_there;  // bytes of a file already at the target, or 0
    };
    const Case cases[] = {
        {nullptr, "small.txt", "small.txt", 5000},
        {nullptr, "data.bin", "data.bin", 0},
        {nullptr, "empty.txt", "empty.txt", 300},
        {nullptr, "my notes.txt", "my notes.txt", 0},
        {"[my files]", "inner file.txt", "my files\\inner file.txt", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        if (c.directory) {
            ASSERT_TRUE(DoubleClickEntry(main_window, c.directory));
            ASSERT_TRUE(WaitUntil([&] { return EntryIndex(main_window, c.entry) >= 0; }));
        }
        std::string original;
        ASSERT_TRUE(ReadFileBytes(JoinPath(server.root, c.source), &original));
        const std::string target = JoinPath(server.downloads, c.entry);
        // A file already there must be truncated, not overwritten in place.
        if (c.longer_file_there) {
            ASSERT_GT(c.longer_file_there, original.size());
            ASSERT_TRUE(WriteFileBytes(target, std::string(c.longer_file_there, 'X')));
        }

        size_t mark = LogLines(main_window).size();
        ASSERT_TRUE(SaveEntryAs(client, main_window, c.entry, target));
        ASSERT_TRUE(WaitForLogLine(main_window, SuccessLine(target)))
            << ::testing::PrintToString(LogLinesSince(main_window, mark));
        EXPECT_EQ(LogLinesSince(main_window, mark),
                  (Lines{CreatingLine(c.entry, static_cast<long long>(original.size())),
                         SuccessLine(target)}));
        EXPECT_TRUE(FileHolds(target, original));
        EXPECT_TRUE(IsWindowEnabled(list));
        // The range counts 256-byte units (1000 bytes: 0..3); the notice resets the position.
        EXPECT_EQ(ProgressRange(bar), std::make_pair(0, static_cast<int>(original.size() >> 8)));
        EXPECT_EQ(ProgressPos(bar), 0);

        if (c.directory) {
            ASSERT_TRUE(DoubleClickEntry(main_window, ".."));
            ASSERT_TRUE(WaitUntil([&] { return EntryIndex(main_window, "small.txt") >= 0; }));
        }
    }
}

TEST_F(DownloadE2E, SixteenMiBFileArrivesWholeWithTheListDisabledMeanwhile) {
    std::string original;
    ASSERT_TRUE(ReadFileBytes(JoinPath(server.root, "big.bin"), &original));
    ASSERT_EQ(original.size(), 16u << 20);
    const std::string target = JoinPath(server.downloads, "big.bin");

    ASSERT_TRUE(SaveEntryAs(client, main_window, "big.bin", target));
    DWORD start = GetTickCount();
    ASSERT_TRUE(WaitForLogLine(main_window, CreatingLine("big.bin", 16 << 20)));
    // 256 bytes a read take seconds for this file: the list is still disabled now.
    EXPECT_FALSE(IsWindowEnabled(list));
    // 65536 units of 256 bytes: only the low 16 bits count, so the maximum is 0.
    EXPECT_EQ(ProgressRange(bar), std::make_pair(0, 0));
    ASSERT_TRUE(WaitForLogLine(main_window, SuccessLine(target), 180000));
    double seconds = (GetTickCount() - start) / 1000.0;
    std::printf("big.bin: 16 MiB downloaded in %.1f s (%.2f MB/s)\n", seconds,
                original.size() / 1e6 / seconds);
    std::fflush(stdout);
    RecordProperty("big_bin_seconds", std::to_string(seconds));

    EXPECT_TRUE(FileHolds(target, original));
    EXPECT_TRUE(IsWindowEnabled(list));
    EXPECT_EQ(ProgressPos(bar), 0);
}

// The client cannot open a target that another program holds without sharing: it says so,
// and the notice reports the file as not transferred.
TEST_F(DownloadE2E, TargetThatCannotBeCreatedIsReportedNotTransferred) {
    const std::string target = JoinPath(server.downloads, "locked.txt");
    HANDLE locked = CreateFileA(target.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);

    size_t mark = LogLines(main_window).size();
    ASSERT_TRUE(SaveEntryAs(client, main_window, "small.txt", target));
    const std::string failed = "File " + target + " was not transfered!.";
    EXPECT_TRUE(WaitForLogLine(main_window, failed));
    EXPECT_EQ(LogLinesSince(main_window, mark),
              (Lines{CreatingLine("small.txt", 100), "Error couldnt create file " + target, failed}));
    EXPECT_TRUE(IsWindowEnabled(list));
    EXPECT_EQ(GetFileSize(locked, nullptr), 0u);
    CloseHandle(locked);
}

using DownloadPeerE2E = PeerScenario;

std::string PeerTarget(const std::string& name) {
    return JoinPath(ReferenceServer().downloads, "peer-" + name);
}

TEST_F(DownloadPeerE2E, ProgressStepsOncePerReadAndListWaitsForTheNotice) {
    const std::string data = PatternBytes(1000);
    Peer peer(Then(PeerLogin(kPassword),
                   {SendListing("data.bin\n"), Expect("get data.bin"), Send({"data.bin<1000"}),
                    Hold(), Send({data.substr(0, 256)}), Hold(), Send({data.substr(256, 256)}),
                    Hold(), Send({data.substr(512, 256)}), Hold(), Send({data.substr(768)}),
                    Hold(), Send({kNotice})}));
    ASSERT_NO_FATAL_FAILURE(Login(peer));
    HWND bar = ProgressBarOf(main_window);
    const std::string target = PeerTarget("data.bin");
    ASSERT_TRUE(WaitUntil([&] { return EntryIndex(main_window, "data.bin") >= 0; }));
    ASSERT_TRUE(SaveEntryAs(client, main_window, "data.bin", target));
    ASSERT_TRUE(WaitForLogLine(main_window, CreatingLine("data.bin", 1000)));
    EXPECT_EQ(ProgressRange(bar), std::make_pair(0, 3));
    EXPECT_EQ(ProgressPos(bar), 0);
    EXPECT_FALSE(IsWindowEnabled(list));

    // Reads of 256, 256 and 256 bytes step the bar; the last 232 end the file without a step.
    const int position_after_read[] = {1, 2, 3, 3};
    int previous = 0;
    for (int position : position_after_read) {
        peer.Release();
        if (position == previous) LetReadArrive();  // a read without a step shows nothing
        EXPECT_TRUE(WaitUntil([&] { return ProgressPos(bar) == position; }))
            << "position " << ProgressPos(bar) << ", expected " << position;
        EXPECT_FALSE(IsWindowEnabled(list));
        previous = position;
    }
    EXPECT_FALSE(HasLineContaining(main_window, "transfered"));

    peer.Release();
    ASSERT_TRUE(WaitForLogLine(main_window, SuccessLine(target)));
    EXPECT_EQ(ProgressPos(bar), 0);
    EXPECT_TRUE(IsWindowEnabled(list));
    EXPECT_TRUE(FileHolds(target, data));
    EXPECT_TRUE(peer.WaitDone()) << peer.Failure();
}

// The notice follows the last bytes in one send; the client reads no further than the file's
// end, so the notice stays out of the file and closes it.
TEST_F(DownloadPeerE2E, NoticeInTheSameSendAsTheLastBytesStillClosesTheFile) {
    const size_t sizes[] = {100, 256, 300};
    std::string listing;
    std::vector<PeerStep> serve;
    for (size_t size : sizes) {
        std::string name = "n" + std::to_string(size) + ".bin";
        listing += name + "\n";
        serve.push_back(Expect("get " + name));
        serve.push_back(Send({name + "<" + std::to_string(size), PatternBytes(size) + kNotice}, 300));
    }
    Peer peer(Then(Then(PeerLogin(kPassword), {SendListing(listing)}), serve));
    ASSERT_NO_FATAL_FAILURE(Login(peer));
    ASSERT_TRUE(WaitUntil([&] { return ListBoxCount(list) == 4; }));

    for (size_t size : sizes) {
        std::string name = "n" + std::to_string(size) + ".bin";
        SCOPED_TRACE(name);
        const std::string target = PeerTarget(name);
        size_t mark = LogLines(main_window).size();
        ASSERT_TRUE(SaveEntryAs(client, main_window, name, target));
        ASSERT_TRUE(WaitForLogLine(main_window, SuccessLine(target)))
            << ::testing::PrintToString(LogLinesSince(main_window, mark));
        EXPECT_EQ(LogLinesSince(main_window, mark),
                  (Lines{CreatingLine(name, static_cast<long long>(size)), SuccessLine(target)}));
        EXPECT_TRUE(FileHolds(target, PatternBytes(size)));
        EXPECT_TRUE(DeleteFileA(target.c_str())) << "still open? error " << GetLastError();
        EXPECT_TRUE(IsWindowEnabled(list));
    }
    EXPECT_TRUE(peer.WaitDone()) << peer.Failure();
}

// 3 GiB is counted as unsigned but logged signed; the close leaves the file open until the
// program ends, which closes it with what arrived.
TEST_F(DownloadPeerE2E, SizePastTwoGiBIsLoggedNegativeAndTheFileKeepsWhatArrived) {
    const std::string data = PatternBytes(1000);
    Peer peer(Then(PeerLogin(kPassword),
                   {SendListing("big\n"), Expect("get big"),
                    Send({"big<3221225472", data}, 300), Pause(500), Close()}));
    ASSERT_NO_FATAL_FAILURE(Login(peer));
    HWND bar = ProgressBarOf(main_window);
    const std::string target = PeerTarget("3gib.bin");
    ASSERT_TRUE(WaitUntil([&] { return EntryIndex(main_window, "big") >= 0; }));
    ASSERT_TRUE(SaveEntryAs(client, main_window, "big", target));
    ASSERT_TRUE(WaitForLogLine(main_window, "Creating file big of size -1073741824"));
    // 3 GiB / 256 is 0xC00000: the low 16 bits are 0.
    EXPECT_EQ(ProgressRange(bar), std::make_pair(0, 0));
    EXPECT_FALSE(IsWindowEnabled(list));

    // The server's close empties and disables the list and resets the bar.
    ASSERT_TRUE(peer.WaitDone()) << peer.Failure();
    EXPECT_TRUE(WaitUntil([&] { return ListBoxCount(list) == 0; }));
    EXPECT_FALSE(IsWindowEnabled(list));
    EXPECT_EQ(ProgressPos(bar), 0);
    EXPECT_FALSE(HasLineContaining(main_window, "transfered"));

    PostClose(main_window);
    HWND box = WaitForMessageBox(client, "Quit?");
    ASSERT_NE(box, nullptr);
    AnswerMessageBox(box, IDYES);
    DWORD exit_code = 1234;
    ASSERT_TRUE(client.WaitForExit(10000, &exit_code));
    EXPECT_EQ(exit_code, 0u);
    EXPECT_TRUE(FileHolds(target, data));
}

TEST_F(DownloadPeerE2E, ServerClosingMidFileKeepsThePartAndTheNextConnectionWorks) {
    const std::string data = PatternBytes(1000);
    const std::string listing = "part.bin\nnext.txt\n";
    Peer peer(Then(Then(PeerLogin(kPassword),
                        {SendListing(listing), Expect("get part.bin"),
                         Send({"part.bin<1000", data.substr(0, 300)}, 300), Pause(500), Close(),
                         Accept()}),
                   Then(PeerLogin(kPassword),
                        {SendListing(listing), Expect("get next.txt"),
                         Send({"next.txt<5", std::string("hello") + kNotice}, 300)})));
    ASSERT_NO_FATAL_FAILURE(Login(peer));
    const std::string part = PeerTarget("part.bin");
    ASSERT_TRUE(WaitUntil([&] { return EntryIndex(main_window, "part.bin") >= 0; }));
    ASSERT_TRUE(SaveEntryAs(client, main_window, "part.bin", part));
    ASSERT_TRUE(WaitForLogLine(main_window, CreatingLine("part.bin", 1000)));
    ASSERT_TRUE(WaitUntil([&] { return ListBoxCount(list) == 0 && !IsWindowEnabled(list); }))
        << "the server's close was not handled";
    EXPECT_FALSE(CanRename(part)) << "the cut-off file should still be open";

    // The next connection ends the cut-off download: its part is closed as it stands.
    ASSERT_TRUE(ConnectAndAccept(client, "127.0.0.1", peer.Port(), kPassword));
    EXPECT_TRUE(WaitForLogLine(main_window, "Already reciving a file cannot connect!"));
    ASSERT_TRUE(WaitForEntries(main_window, {"..", "next.txt", "part.bin"}));
    EXPECT_TRUE(FileHolds(part, data.substr(0, 300)));
    EXPECT_TRUE(CanRename(part));
    EXPECT_FALSE(HasLineContaining(main_window, "transfered"));

    const std::string next = PeerTarget("next.txt");
    ASSERT_TRUE(SaveEntryAs(client, main_window, "next.txt", next));
    ASSERT_TRUE(WaitForLogLine(main_window, SuccessLine(next)));
    EXPECT_TRUE(FileHolds(next, "hello"));
    EXPECT_TRUE(peer.WaitDone()) << peer.Failure();
    EXPECT_EQ(peer.Connections(), 2);
}

// Gestures that send nothing: a double-click with nothing selected, a cancelled Save dialog,
// and names too long for a 256-byte command. A confirmed dialog afterwards sends its "get".
TEST_F(DownloadPeerE2E, GesturesThatMustSendNothing) {
    const std::string long_file(252, 'f');        // "get " + 252 characters: one too many
    const std::string long_directory(253, 'd');   // "cd " + 253 characters: one too many
    Peer peer(Then(PeerLogin(kPassword),
                   {SendListing("keep.txt\n" + long_file + "\n[" + long_directory + "]\n")}));
    ASSERT_NO_FATAL_FAILURE(Login(peer));
    ASSERT_TRUE(WaitUntil([&] { return ListBoxCount(list) == 4; }));
    const Lines login = {"velto", kPassword, "ls"};

    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    PostMessageA(main_window, WM_COMMAND, MAKEWPARAM(IDC_FILELIST, LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(list));
    LetReadArrive();
    EXPECT_EQ(client.FindWindowOf("#32770", "Save File"), nullptr);

    ASSERT_TRUE(DoubleClickEntry(main_window, "keep.txt"));
    HWND dialog = WaitForMessageBox(client, "Save File");
    ASSERT_NE(dialog, nullptr);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
    ASSERT_TRUE(WaitForWindowGone(dialog));

    const std::string refused[] = {"get " + long_file, "cd " + long_directory};
    ASSERT_TRUE(DoubleClickEntry(main_window, long_file));
    ASSERT_TRUE(DoubleClickEntry(main_window, "[" + long_directory + "]"));
    for (const std::string& command : refused)
        EXPECT_TRUE(WaitForLogLine(main_window, "Name too long, command not sent: " + command))
            << command.substr(0, 10);
    EXPECT_EQ(client.FindWindowOf("#32770", "Save File"), nullptr);
    LetReadArrive();
    EXPECT_EQ(peer.BlockTexts(), login);

    ASSERT_TRUE(SaveEntryAs(client, main_window, "keep.txt", PeerTarget("keep.txt")));
    ASSERT_TRUE(peer.WaitForBlocks(4));
    EXPECT_EQ(peer.BlockTexts().back(), "get keep.txt");
    EXPECT_TRUE(peer.WaitDone()) << peer.Failure();
}

}  // namespace
