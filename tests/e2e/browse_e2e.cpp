// Browsing: the sorted list with its "..", into directories and back up against the
// reference server, and listings that a scripted peer sends in pieces, empty or followed by
// more text.
#include <gtest/gtest.h>

#include <algorithm>

#include "transfer_support.h"

using namespace e2e;

namespace {

const Lines kRoot = {"..",       "[docs]",    "[my files]",   "big.bin",
                     "data.bin", "empty.txt", "my notes.txt", "small.txt"};
const Lines kDocs = {"..", "[deep]", "[empty dir]", "guide.txt"};

// What the server announces for a directory shown as `entries`: one line per entry but
// "..", each ended by a line feed; an empty directory is one NUL byte.
size_t AnnouncedLength(const Lines& entries) {
    size_t length = 0;
    for (const std::string& entry : entries)
        if (entry != "..") length += entry.size() + 1;
    return length == 0 ? 1 : length;
}

std::string ListingLine(const Lines& entries) {
    return "Listing Directory of Length of " + std::to_string(AnnouncedLength(entries));
}

TEST(BrowseE2E, SortedListIntoDirectoriesAndBackUp) {
    ReferenceServer server;
    ASSERT_NE(server.port, 0) << "VELTO_E2E_PORT is not set: run scripts/e2e.sh";
    Client client;
    ASSERT_TRUE(client.Start());
    HWND main_window = client.MainWindow();
    ASSERT_NE(main_window, nullptr);
    HWND list = FileListOf(main_window);

    ASSERT_TRUE(ConnectAndAccept(client, "127.0.0.1", server.port, server.password));
    // The server lists in byte order ("big.bin" before "[docs]"); the list box sorts without
    // regard to case, brackets first.
    ASSERT_TRUE(WaitForEntries(main_window, kRoot)) << "root listing not shown";
    EXPECT_TRUE(IsWindowEnabled(list));
    EXPECT_EQ(CountLogLine(main_window, ListingLine(kRoot)), 1);

    struct Step {
        const char* click;
        const char* directory;  // as the server's directory reply names it
        Lines entries;
    };
    const Step steps[] = {
        {"[docs]", "/docs", kDocs},
        {"[deep]", "/docs/deep", {"..", "[deeper]"}},
        {"[deeper]", "/docs/deep/deeper", {"..", "leaf.txt"}},
        {"..", "/docs/deep", {"..", "[deeper]"}},
        {"..", "/docs", kDocs},
        {"[empty dir]", "/docs/empty dir", {".."}},
        {"..", "/docs", kDocs},
        {"..", "/", kRoot},
        {"[my files]", "/my files", {"..", "inner file.txt"}},
        {"..", "/", kRoot},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.click) + " -> " + step.directory);
        size_t mark = LogLines(main_window).size();
        ASSERT_TRUE(DoubleClickEntry(main_window, step.click));
        ASSERT_TRUE(WaitForEntries(main_window, step.entries))
            << "still showing " << ::testing::PrintToString(ListBoxEntries(list));
        EXPECT_TRUE(IsWindowEnabled(list));
        const Lines logged = {std::string("CD Directory to ") + step.directory,
                              ListingLine(step.entries)};
        EXPECT_TRUE(WaitUntil([&] { return LogLinesSince(main_window, mark) == logged; }))
            << ::testing::PrintToString(LogLinesSince(main_window, mark));
    }
    SaveWindowShot(main_window, "browse-root-after-walk");
}

using BrowsePeerE2E = PeerScenario;

TEST_F(BrowsePeerE2E, ListingInThreeReadsShownAfterTheThirdAndLaterReadsAppended) {
    const std::string text = "Zeta.txt\n[gamma]\nalpha.txt\n";
    const std::string pieces[] = {text.substr(0, 6), text.substr(6, 8), text.substr(14)};
    const std::string notice = "{server notice 50%}";
    Peer peer(Then(PeerLogin(kPassword),
                   {Send({"Listing length:" + std::to_string(text.size()), pieces[0]}, 300), Hold(),
                    Send({pieces[1]}), Hold(), Send({pieces[2]}), Hold(), Send({notice})}));
    ASSERT_NO_FATAL_FAILURE(Login(peer));
    ASSERT_TRUE(WaitForLogLine(main_window, "Listing Directory of Length of " +
                                                std::to_string(text.size())));
    for (int read = 1; read <= 2; ++read) {
        SCOPED_TRACE(read);
        LetReadArrive();
        EXPECT_EQ(ListBoxCount(list), 0) << "shown before the whole listing arrived";
        EXPECT_FALSE(IsWindowEnabled(list));
        peer.Release();
    }
    // Sorted without regard to case: "alpha.txt" before "Zeta.txt".
    EXPECT_TRUE(WaitForEntries(main_window, {"..", "[gamma]", "alpha.txt", "Zeta.txt"}))
        << ::testing::PrintToString(ListBoxEntries(list));
    EXPECT_TRUE(IsWindowEnabled(list));

    // The state stays Listing: a notice is one more entry, not a log line.
    size_t mark = LogLines(main_window).size();
    peer.Release();
    ASSERT_TRUE(WaitUntil([&] { return ListBoxCount(list) == 5; }))
        << ::testing::PrintToString(ListBoxEntries(list));
    Lines entries = ListBoxEntries(list);
    EXPECT_NE(std::find(entries.begin(), entries.end(), notice), entries.end());
    EXPECT_EQ(LogLinesSince(main_window, mark), Lines{});
    EXPECT_TRUE(peer.WaitDone()) << peer.Failure();
}

TEST_F(BrowsePeerE2E, ListingOfLengthZeroShowsTheNextReadWhateverItHolds) {
    Peer peer(Then(PeerLogin(kPassword),
                   {Send({"Listing length:0"}), Hold(), Send({"only.txt\n[dir]\nlast"})}));
    ASSERT_NO_FATAL_FAILURE(Login(peer));
    ASSERT_TRUE(WaitForLogLine(main_window, "Listing Directory of Length of 0"));
    LetReadArrive();
    EXPECT_EQ(ListBoxCount(list), 0);
    peer.Release();
    EXPECT_TRUE(WaitForEntries(main_window, {"..", "[dir]", "last", "only.txt"}))
        << ::testing::PrintToString(ListBoxEntries(list));
    EXPECT_TRUE(IsWindowEnabled(list));
    EXPECT_TRUE(peer.WaitDone()) << peer.Failure();
}

}  // namespace
