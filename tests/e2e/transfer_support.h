// What the browse, download and panel scenarios share: where the rig's reference server and
// download directory are, the login a scripted peer plays, list entries found by their text,
// saving an entry through the Save dialog, and files on disk.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "driver.h"
#include "peer.h"

namespace e2e {

using Lines = std::vector<std::string>;

// The reference server that scripts/e2e.sh started, and the directories it made for us.
struct ReferenceServer {
    int port = std::atoi(EnvOr("VELTO_E2E_PORT", "0").c_str());
    std::string password = EnvOr("VELTO_E2E_PASSWORD", "");
    std::string root = WindowsPath(EnvOr("VELTO_E2E_ROOT", ""));
    std::string downloads = WindowsPath(EnvOr("VELTO_E2E_DOWNLOADS", ""));
};

inline std::string JoinPath(const std::string& directory, const std::string& name) {
    return directory + "\\" + name;
}

// A scripted peer's side of the login, up to the client's first "ls".
inline std::vector<PeerStep> PeerLogin(const std::string& password) {
    return {Expect("velto"), Send({"Enter password:"}), Expect(password),
            Send({"Peer terms: be nice."}), Expect("ls")};
}

inline std::vector<PeerStep> Then(std::vector<PeerStep> first, const std::vector<PeerStep>& more) {
    first.insert(first.end(), more.begin(), more.end());
    return first;
}

// A listing as one header read and one text read.
inline PeerStep SendListing(const std::string& text) {
    return Send({"Listing length:" + std::to_string(text.size()), text}, 300);
}

inline int EntryIndex(HWND main_window, const std::string& text) {
    Lines entries = ListBoxEntries(FileListOf(main_window));
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i] == text) return static_cast<int>(i);
    return -1;
}

inline bool DoubleClickEntry(HWND main_window, const std::string& text) {
    int index = EntryIndex(main_window, text);
    return index >= 0 && DoubleClickListEntry(main_window, index);
}

inline bool WaitForEntries(HWND main_window, const Lines& entries, DWORD timeout_ms = kWaitMs) {
    return WaitUntil([&] { return ListBoxEntries(FileListOf(main_window)) == entries; },
                     timeout_ms);
}

inline Lines LogLinesSince(HWND main_window, size_t mark) {
    Lines lines = LogLines(main_window);
    return mark < lines.size() ? Lines(lines.begin() + static_cast<long>(mark), lines.end())
                               : Lines{};
}

inline int CountLogLine(HWND main_window, const std::string& line) {
    int count = 0;
    for (const std::string& logged : LogLines(main_window)) count += logged == line;
    return count;
}

// Double-clicks the file entry and confirms the Save dialog with `path` typed in.
inline ::testing::AssertionResult SaveEntryAs(const Client& client, HWND main_window,
                                              const std::string& entry, const std::string& path) {
    if (!DoubleClickEntry(main_window, entry))
        return ::testing::AssertionFailure() << "no entry \"" << entry << "\" to double-click";
    HWND dialog = WaitForMessageBox(client, "Save File");
    if (!dialog) return ::testing::AssertionFailure() << "no Save dialog for \"" << entry << "\"";
    if (!FillSaveDialog(dialog, path))
        return ::testing::AssertionFailure() << "the Save dialog did not take " << path;
    return ::testing::AssertionSuccess();
}

inline bool ReadFileBytes(const std::string& path, std::string* bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    bytes->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

inline bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    return !file.fail();
}

// Compares a downloaded file with what it should hold, without printing megabytes on failure.
inline ::testing::AssertionResult FileHolds(const std::string& path, const std::string& expected) {
    std::string actual;
    if (!ReadFileBytes(path, &actual)) return ::testing::AssertionFailure() << "cannot read " << path;
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure()
               << path << " has " << actual.size() << " bytes, expected " << expected.size();
    for (size_t i = 0; i < actual.size(); ++i)
        if (actual[i] != expected[i])
            return ::testing::AssertionFailure() << path << " differs first at byte " << i;
    return ::testing::AssertionSuccess();
}

// The same byte pattern as the rig's data.bin: every byte value, NUL included.
inline std::string PatternBytes(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 256) & 255);
    return bytes;
}

// A scenario against a scripted peer: Login starts the client and logs in to the peer.
class PeerScenario : public ::testing::Test {
protected:
    void Login(const Peer& peer) {
        ASSERT_TRUE(peer.Listening());
        ASSERT_TRUE(client.Start());
        main_window = client.MainWindow();
        ASSERT_NE(main_window, nullptr);
        list = FileListOf(main_window);
        ASSERT_TRUE(ConnectAndAccept(client, "127.0.0.1", peer.Port(), kPassword));
    }
    // Time for a read the peer has just sent to reach the client and be handled, where
    // nothing visible would show that it has.
    static void LetReadArrive() { Sleep(500); }

    static constexpr const char* kPassword = "peer-pw";
    Client client;
    HWND main_window = nullptr;
    HWND list = nullptr;
};

}  // namespace e2e
