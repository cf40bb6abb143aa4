// The end of a run: confirming the exit destroys the main window, closes the connection and
// the output file, ends the loop with 0 and releases the process's objects. Runs in a
// process of its own (nothing is left to test afterwards).
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "app/app.h"
#include "client/connection.h"
#include "client/front_end.h"
#include "res/resource.h"
#include "shell_support.h"

TEST(Shutdown, ExitConfirmedEndsTheRunAndReleasesEverything)
{
    // The test's own Winsock reference keeps its listener working after the program's
    // clean-up, and shows whether that clean-up happened.
    WSADATA data;
    ASSERT_EQ(WSAStartup(0x0101, &data), 0);
    ASSERT_TRUE(StartProgram());
    LoopbackListener listener;
    StartConnection("127.0.0.1", listener.Port());
    SOCKET accepted = listener.Accept();
    ASSERT_NE(accepted, INVALID_SOCKET);

    // A download in progress: its bytes so far are still in the stream's buffer.
    char directory[MAX_PATH];
    GetTempPathA(sizeof directory, directory);
    std::string partial = std::string(directory) + "velto-shell-partial.bin";
    ASSERT_TRUE(OutputOpen(partial));
    ASSERT_TRUE(OutputWrite("first bytes", 11));

    HFONT font = UiFont;
    HBRUSH brush = BackgroundBrush;
    HBITMAP banner = BannerBitmap;
    HWND main = MainWindow;

    DialogWatcher watcher(IDYES);
    PostMessageA(MainWindow, WM_COMMAND, IDM_EXIT, 0);
    int code = RunMessageLoop();
    std::vector<SeenDialog> boxes = watcher.Stop();

    EXPECT_EQ(code, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Quit?");
    EXPECT_FALSE(IsWindow(main));

    EXPECT_TRUE(PeerClosed(accepted)) << "the connection was left open";
    closesocket(accepted);

    EXPECT_FALSE(OutputIsOpen());
    std::ifstream written(partial, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(written)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, "first bytes") << "the part received so far stays on disk";
    written.close();
    DeleteFileA(partial.c_str());

    for (HGDIOBJ object : {static_cast<HGDIOBJ>(font), static_cast<HGDIOBJ>(brush),
                           static_cast<HGDIOBJ>(banner)})
        EXPECT_EQ(GetObjectType(object), 0u) << "not deleted";
    // The program's start of Winsock is matched: once the test lets go of its own, none is left.
    WSACleanup();
    EXPECT_EQ(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
}
