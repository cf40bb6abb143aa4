// The whole road once, against the reference server that scripts/e2e.sh started: connect by
// typing 127.0.0.1, answer the password prompt, accept the agreement, see the listing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "driver.h"

using namespace e2e;

namespace {

bool Contains(const std::vector<std::string>& entries, const std::string& entry) {
    return std::find(entries.begin(), entries.end(), entry) != entries.end();
}

TEST(SmokeE2E, ConnectsToTheReferenceServerAndShowsItsListing) {
    int port = std::atoi(EnvOr("VELTO_E2E_PORT", "0").c_str());
    ASSERT_NE(port, 0) << "VELTO_E2E_PORT is not set: run scripts/e2e.sh";
    std::string password = EnvOr("VELTO_E2E_PASSWORD", "qvk");

    Client client;
    ASSERT_TRUE(client.Start());
    HWND main_window = client.MainWindow();
    ASSERT_NE(main_window, nullptr);

    HWND connect = ConnectTo(client, "127.0.0.1", port, password);
    ASSERT_NE(connect, nullptr);
    ASSERT_TRUE(WaitForLogLine(main_window, "Succesfully Connected Sending Handshake"));
    EXPECT_TRUE(WaitForTitle(main_window, "VELTO ZUrod GUI - Connected."));
    EXPECT_TRUE(WaitForLogLine(main_window, "Sending password info..."));

    HWND agreement = WaitForMessageBox(client, "Do you accept the agreement?");
    ASSERT_NE(agreement, nullptr);
    EXPECT_FALSE(MessageBoxText(agreement).empty());
    EXPECT_FALSE(IsWindowVisible(connect));  // hidden by the first read
    AnswerMessageBox(agreement, IDYES);
    EXPECT_TRUE(WaitForLogLine(main_window, "Accepted Agreement Listing Directory."));

    // The tree of scripts/e2e.sh, with the client's own ".." entry.
    HWND list = FileListOf(main_window);
    ASSERT_TRUE(WaitUntil([&] {
        std::vector<std::string> entries = ListBoxEntries(list);
        return Contains(entries, "small.txt") && Contains(entries, "[docs]");
    })) << "no listing";
    std::vector<std::string> entries = ListBoxEntries(list);
    for (const char* entry : {"..", "[docs]", "[my files]", "small.txt", "my notes.txt", "big.bin"})
        EXPECT_TRUE(Contains(entries, entry)) << entry;
    EXPECT_TRUE(IsWindowEnabled(list));
    EXPECT_FALSE(SaveWindowShot(main_window, "smoke-connected").empty());
}

}  // namespace
