// Connecting as a user meets it: the address and port checks of the connect window, the
// conversation's first steps with the reference server and with a scripted peer (handshake,
// password, agreement), a refused connection, the server's close and "Disconnect".
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "connect_steps.h"
#include "driver.h"
#include "peer.h"
#include "res/resource.h"
#include "transfer_support.h"

using namespace e2e;

namespace {

const Lines kFirstLines = {
    "Successfully Initalized Window.",
    "->Waiting for Winsock Initalization...",
    "Winsock Successfully initalized.",
};

// The reference server's agreement, as scripts/e2e.sh starts it (the built-in text).
const char kServerAgreement[] =
    "This server shares its files for reading only. Files you download are for your own "
    "use and may not be passed on without their owner's consent. Do you accept?";

class ConnectE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(client.Start());
        main_window = client.MainWindow();
        ASSERT_NE(main_window, nullptr);
        boxes = FindConnectBoxes(client);
        ASSERT_NE(boxes.address, nullptr);
        ASSERT_NE(boxes.port, nullptr);
        ASSERT_NE(boxes.password, nullptr);
        ASSERT_NE(boxes.button, nullptr);
        list = FileListOf(main_window);
        ASSERT_NE(list, nullptr);
        ASSERT_TRUE(WaitUntil([&] { return LogLines(main_window).size() >= kFirstLines.size(); }));
    }

    bool Connect(const std::string& address, const std::string& port,
                 const std::string& password = "pw") {
        return TypeAndConnect(client, main_window, address, port, password);
    }
    bool Connect(int port, const std::string& password = "pw") {
        return Connect("127.0.0.1", std::to_string(port), password);
    }
    bool ButtonEnabled() const { return IsWindowEnabled(boxes.button) != FALSE; }

    Client client;
    HWND main_window = nullptr;
    HWND list = nullptr;
    ConnectBoxes boxes;
};

// ---- The connect window's checks ----

struct BadEntry {
    const char* address;
    const char* port;
};

// A bad address is reported first, whatever the port; the port box is not looked at.
TEST_F(ConnectE2E, BadAddressGivesInvalidIpBoxAndEmptiesOnlyTheAddress) {
    const BadEntry entries[] = {
        {"", "1024"},
        {"255.255.255.255", "1024"},
        {"abc", "1024"},
        {"abc", "xyz"},  // both bad: only the address is reported
    };
    for (const BadEntry& entry : entries) {
        SCOPED_TRACE(std::string("address \"") + entry.address + "\" port \"" + entry.port + "\"");
        ASSERT_TRUE(Connect(entry.address, entry.port));
        HWND box = WaitForMessageBox(client, "Invalid IP");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(MessageBoxText(box), "Error Invalid IP Address Try Agian");
        EXPECT_EQ(GetWindow(box, GW_OWNER), boxes.window);
        AnswerMessageBox(box, IDOK);
        ASSERT_TRUE(WaitForWindowGone(box));

        EXPECT_EQ(GetText(boxes.address), "");
        EXPECT_EQ(GetText(boxes.port), entry.port);
        Sleep(200);  // a port box, wrongly asked for next, would be up by now
        EXPECT_EQ(client.FindWindowOf("#32770", "Invalid Port"), nullptr);
        EXPECT_TRUE(IsWindowVisible(boxes.window));
        EXPECT_TRUE(ButtonEnabled());
        EXPECT_EQ(GetText(boxes.window), "Connect To IP");
    }
    EXPECT_EQ(LogLines(main_window), kFirstLines);
}

TEST_F(ConnectE2E, BadPortGivesInvalidPortBoxAndEmptiesThePortOnly) {
    for (const char* port : {"0", "", "http"}) {
        SCOPED_TRACE(std::string("port \"") + port + "\"");
        ASSERT_TRUE(Connect("127.0.0.1", port));
        HWND box = WaitForMessageBox(client, "Invalid Port");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(MessageBoxText(box), "Error invalid port number try agian");
        EXPECT_EQ(GetWindow(box, GW_OWNER), boxes.window);
        AnswerMessageBox(box, IDOK);
        ASSERT_TRUE(WaitForWindowGone(box));

        EXPECT_EQ(GetText(boxes.port), "");
        EXPECT_EQ(GetText(boxes.address), "127.0.0.1");
        EXPECT_TRUE(ButtonEnabled());
        EXPECT_EQ(GetText(boxes.window), "Connect To IP");
    }
    EXPECT_EQ(LogLines(main_window), kFirstLines);
}

// The port is read as atoi reads it and only its low 16 bits count: each form below reaches
// the peer. A passing request retitles the window and disables the button until "Disconnect".
TEST_F(ConnectE2E, PortTextsAreReadLikeAtoiAndCutTo16Bits) {
    struct Form {
        const char* name;
        std::string (*text)(int port);
    };
    const Form forms[] = {
        {"digits then letters", [](int port) { return std::to_string(port) + "abc"; }},
        {"leading blanks", [](int port) { return "  " + std::to_string(port); }},
        {"65536 plus the port", [](int port) { return std::to_string(65536 + port); }},
    };
    bool first = true;
    for (const Form& form : forms) {
        Peer peer({Expect("velto")});
        ASSERT_TRUE(peer.Listening());
        std::string text = form.text(peer.Port());
        SCOPED_TRACE(std::string(form.name) + ": \"" + text + "\"");
        if (first) {
            EXPECT_EQ(GetText(boxes.window), "Connect To IP");
        }
        first = false;

        ASSERT_TRUE(Connect("127.0.0.1", text));
        EXPECT_TRUE(WaitForTitle(boxes.window, "Connecting..."));
        EXPECT_TRUE(WaitUntil([&] { return !ButtonEnabled(); }));
        EXPECT_TRUE(peer.WaitDone()) << peer.Failure();
        EXPECT_TRUE(WaitForTitle(main_window, "VELTO ZUrod GUI - Connected."));
        EXPECT_FALSE(ButtonEnabled());

        size_t mark = LogLines(main_window).size();
        PostCommand(main_window, IDM_DISCONNECT);
        EXPECT_TRUE(WaitUntil([&] { return ButtonEnabled(); }));
        EXPECT_EQ(LogLinesSince(main_window, mark), Lines{"Disconnected!."});
    }
}

// ---- A refused connection ----

TEST_F(ConnectE2E, RefusedConnectionIsLoggedWithItsErrorNumberAndTheButtonComesBack) {
    int closed_port = ClosedLoopbackPort();
    ASSERT_NE(closed_port, 0);
    ASSERT_TRUE(Connect(closed_port));

    const std::string prefix = "Error couldnt connect Error Number ";
    std::string line;
    ASSERT_TRUE(WaitUntil([&] {
        Lines lines = LogLinesSince(main_window, kFirstLines.size());
        if (lines.empty()) return false;
        line = lines.front();
        return true;
    })) << "nothing logged for the refused connection";
    ASSERT_EQ(line.compare(0, prefix.size(), prefix), 0) << line;
    std::string number = line.substr(prefix.size());
    ASSERT_FALSE(number.empty());
    EXPECT_EQ(number.find_first_not_of("0123456789"), std::string::npos) << line;
    EXPECT_NE(std::atoi(number.c_str()), 0) << line;
    std::printf("refused connection: \"%s\"\n", line.c_str());
    RecordProperty("refused_error_number", number);

    EXPECT_TRUE(WaitForTitle(boxes.window, "Connection Couldnt be Established"));
    EXPECT_TRUE(WaitUntil([&] { return ButtonEnabled(); }));
    EXPECT_EQ(GetText(main_window), "VELTO - ZUrod GUI Client");
    Sleep(200);
    EXPECT_EQ(LogLinesSince(main_window, kFirstLines.size()), Lines{line});

    // The failed socket does not stand in the way of the next attempt.
    Peer peer({Expect("velto")});
    ASSERT_TRUE(Connect(peer.Port()));
    EXPECT_TRUE(peer.WaitDone()) << peer.Failure();
    EXPECT_TRUE(WaitForLogLine(main_window, "Succesfully Connected Sending Handshake"));
}

// ---- The reference server ----

// The server's log from `offset` on (it is one line per event, appended as they happen).
std::string ServerLogFrom(size_t offset) {
    std::string log;
    ReadFileBytes(WindowsPath(EnvOr("VELTO_E2E_SERVER_LOG", "")), &log);
    return offset < log.size() ? log.substr(offset) : "";
}

size_t ServerLogSize() { return ServerLogFrom(0).size(); }

bool WaitForServerLog(size_t offset, const std::string& text) {
    return WaitUntil([&] { return ServerLogFrom(offset).find(text) != std::string::npos; });
}

int CountEntriesOf(const std::string& directory) {
    int count = 0;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return -1;
    do {
        std::string name = found.cFileName;
        count += name != "." && name != "..";
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

class ConnectServerE2E : public ConnectE2E {
protected:
    void SetUp() override {
        ASSERT_NE(server.port, 0) << "VELTO_E2E_PORT is not set: run scripts/e2e.sh";
        ConnectE2E::SetUp();
    }
    ReferenceServer server;
};

TEST_F(ConnectServerE2E, HandshakePasswordAgreementYesListsTheRootThenDisconnect) {
    size_t log_offset = ServerLogSize();
    ASSERT_TRUE(Connect(server.port, server.password));

    HWND box = WaitForMessageBox(client, kAgreementCaption);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), kServerAgreement);
    EXPECT_EQ(GetWindow(box, GW_OWNER), main_window);
    EXPECT_NE(GetDlgItem(box, IDYES), nullptr);
    EXPECT_NE(GetDlgItem(box, IDNO), nullptr);
    EXPECT_FALSE(IsWindowVisible(boxes.window));  // hidden by the prompt's read
    EXPECT_EQ(GetText(main_window), "VELTO ZUrod GUI - Connected.");
    EXPECT_EQ(LogLinesSince(main_window, kFirstLines.size()),
              (Lines{"Succesfully Connected Sending Handshake", "Sending password info..."}));
    // The server takes only a whole 256-byte block "velto" for a handshake, and then the
    // typed password.
    EXPECT_TRUE(WaitForServerLog(log_offset, ": handshake\n"));
    EXPECT_TRUE(WaitForServerLog(log_offset, ": password accepted\n"));
    std::string shot = ShotsDir() + "\\connect-agreement-question.bmp";
    CreateDirectoryA(ShotsDir().c_str(), nullptr);
    Sleep(300);  // let the box finish painting
    EXPECT_TRUE(SaveScreenshot(shot));
    std::printf("screenshot: %s\n", shot.c_str());

    AnswerMessageBox(box, IDYES);
    ASSERT_TRUE(WaitForWindowGone(box));
    int entries_in_root = CountEntriesOf(server.root);
    ASSERT_GT(entries_in_root, 0);
    ASSERT_TRUE(WaitUntil([&] { return ListBoxCount(list) == entries_in_root + 1; }))
        << "the list shows " << ListBoxCount(list) << " entries";
    Lines entries = ListBoxEntries(list);
    EXPECT_EQ(entries.front(), "..");
    EXPECT_NE(EntryIndex(main_window, "[docs]"), -1);
    EXPECT_NE(EntryIndex(main_window, "data.bin"), -1);
    EXPECT_TRUE(IsWindowEnabled(list));
    Lines lines = LogLinesSince(main_window, kFirstLines.size());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2], "Accepted Agreement Listing Directory.");
    EXPECT_EQ(lines[3].rfind("Listing Directory of Length of ", 0), 0u) << lines[3];
    // The length the client logs is the one the server announced.
    std::string length = lines[3].substr(lines[3].rfind(' ') + 1);
    EXPECT_TRUE(WaitForServerLog(log_offset, " " + length + " bytes")) << length;
    EXPECT_FALSE(ButtonEnabled());

    size_t mark = LogLines(main_window).size();
    PostCommand(main_window, IDM_DISCONNECT);
    EXPECT_TRUE(WaitForTitle(main_window, "VELTO - ZUrod GUI - Disconnected."));
    EXPECT_TRUE(WaitUntil([&] { return ButtonEnabled(); }));
    EXPECT_EQ(LogLinesSince(main_window, mark), Lines{"Disconnected!."});
    EXPECT_EQ(ListBoxEntries(list), entries);  // the client's own close keeps the list
    EXPECT_TRUE(IsWindowEnabled(list));
    EXPECT_TRUE(WaitForServerLog(log_offset, ": disconnected\n"));
    EXPECT_FALSE(SaveWindowShot(main_window, "connect-disconnected").empty());
}

// No closes the connection; the button waits for "Disconnect"; the next connection starts
// from the beginning (its prompt is a prompt again, not taken for the agreement).
TEST_F(ConnectServerE2E, AgreementNoClosesAndDisconnectRestoresTheButton) {
    size_t log_offset = ServerLogSize();
    ASSERT_TRUE(Connect(server.port, server.password));
    EXPECT_EQ(AnswerAgreement(client, IDNO), kServerAgreement);
    EXPECT_TRUE(WaitForLogLine(main_window, "Agreement not accepted closing connection.."));
    EXPECT_TRUE(WaitForServerLog(log_offset, ": disconnected\n"));
    Sleep(300);  // a wrongly enabled button would be enabled by now
    EXPECT_FALSE(ButtonEnabled());
    EXPECT_EQ(GetText(main_window), "VELTO ZUrod GUI - Connected.");
    EXPECT_EQ(ListBoxCount(list), 0);

    size_t mark = LogLines(main_window).size();
    PostCommand(main_window, IDM_DISCONNECT);
    EXPECT_TRUE(WaitForTitle(main_window, "VELTO - ZUrod GUI - Disconnected."));
    EXPECT_TRUE(WaitUntil([&] { return ButtonEnabled(); }));
    EXPECT_EQ(LogLinesSince(main_window, mark), Lines{"Disconnected!."});

    mark = LogLines(main_window).size();
    ASSERT_TRUE(Connect(server.port, server.password));
    EXPECT_TRUE(WaitForTitle(main_window, "VELTO ZUrod GUI - Connected."));
    EXPECT_EQ(AnswerAgreement(client, IDYES), kServerAgreement);
    EXPECT_TRUE(WaitUntil([&] { return ListBoxCount(list) > 1; }));
    Lines lines = LogLinesSince(main_window, mark);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Succesfully Connected Sending Handshake");
    EXPECT_EQ(lines[1], "Sending password info...");
    EXPECT_EQ(lines[2], "Accepted Agreement Listing Directory.");
}

// ---- A scripted peer ----

// Every command is one whole block of 256 bytes: text, NUL, zeros. An empty password is 256
// zero bytes. The agreement is shown as it came, markers and all.
TEST_F(ConnectE2E, HandshakeAndEmptyPasswordAreWholeBlocks) {
    const std::string agreement = "Rules: #1 <no> {sharing} @all";
    Peer peer({Expect("velto"), Send({"Enter password:"}), Expect(""), Send({agreement}),
               Expect("ls")});
    ASSERT_TRUE(Connect(peer.Port(), ""));
    EXPECT_EQ(AnswerAgreement(client, IDYES), agreement);
    ASSERT_TRUE(peer.WaitDone()) << peer.Failure();

    auto block = [](const std::string& text) {
        return text + std::string(kBlockSize - text.size(), '\0');
    };
    EXPECT_EQ(peer.Blocks(), (std::vector<std::string>{block("velto"), block(""), block("ls")}));
}

// In the Command state: "#" is a directory reply, "{" a notice logged as it stands (its "%"
// too), text without a marker is ignored, and "Password:" (capital P) is no prompt but a
// listing header of length 0, so the next read is shown as the list.
TEST_F(ConnectE2E, RepliesAreTakenByTheirMarkers) {
    Peer peer(Then(PeerLogin("pw"),
                   {Send({"#/docs", "50%{done", "hello", "{end}", "Password:", "zeta\nalpha"},
                         300)}));
    ASSERT_TRUE(ConnectAndAccept(client, "127.0.0.1", peer.Port(), "pw"));
    ASSERT_TRUE(peer.WaitDone()) << peer.Failure();
    EXPECT_TRUE(WaitForEntries(main_window, {"..", "alpha", "zeta"}));
    Lines lines = LogLinesSince(main_window, kFirstLines.size());
    EXPECT_EQ(lines, (Lines{"Succesfully Connected Sending Handshake", "Sending password info...",
                            "Accepted Agreement Listing Directory.", "CD Directory to /docs",
                            "50%{done", "{end}", "Listing Directory of Length of 0"}));
    EXPECT_EQ(peer.Blocks().size(), 3u);  // "Password:" was not answered with the password
}

// The server's close empties and disables the list, gives the button back and sets the bar
// to 0, silently; "Disconnect" afterwards still closes and logs, once.
TEST_F(ConnectE2E, ServerCloseEmptiesTheListThenDisconnectLogsOnce) {
    Peer peer(Then(PeerLogin("pw"), {SendListing("a\nb\nc\n"), Hold(), Close()}));
    ASSERT_TRUE(ConnectAndAccept(client, "127.0.0.1", peer.Port(), "pw"));
    ASSERT_TRUE(WaitForEntries(main_window, {"..", "a", "b", "c"}));
    EXPECT_FALSE(ButtonEnabled());
    size_t mark = LogLines(main_window).size();

    peer.Release();
    ASSERT_TRUE(peer.WaitDone()) << peer.Failure();
    EXPECT_TRUE(WaitUntil([&] { return ButtonEnabled(); }));
    EXPECT_TRUE(WaitUntil([&] { return ListBoxCount(list) == 0; }));
    EXPECT_FALSE(IsWindowEnabled(list));
    EXPECT_EQ(ProgressPos(ProgressBarOf(main_window)), 0);
    Sleep(300);
    EXPECT_EQ(LogLinesSince(main_window, mark), Lines{});
    EXPECT_EQ(GetText(main_window), "VELTO ZUrod GUI - Connected.");

    PostCommand(main_window, IDM_DISCONNECT);
    EXPECT_TRUE(WaitForTitle(main_window, "VELTO - ZUrod GUI - Disconnected."));
    EXPECT_TRUE(WaitForLogLine(main_window, "Disconnected!."));
    PostCommand(main_window, IDM_DISCONNECT);  // nothing is held now: does nothing
    Sleep(300);
    EXPECT_EQ(LogLinesSince(main_window, mark), Lines{"Disconnected!."});
    EXPECT_EQ(GetText(main_window), "VELTO - ZUrod GUI - Disconnected.");
    EXPECT_TRUE(ButtonEnabled());
}

}  // namespace
