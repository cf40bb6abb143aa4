// The program's windows live on this thread, as in WinMain: OLE first (the about window's
// web view needs it), then the tests.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    OleInitialize(nullptr);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
