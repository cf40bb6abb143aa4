// What the conversation reaches through the window side: list, progress bar, password,
// the agreement question and the Save dialog.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "app/app.h"
#include "client/front_end.h"
#include "connect/connect_window.h"
#include "shell_support.h"

namespace {

class SeamTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(StartProgram()); }
    void TearDown() override
    {
        FileListReset();
        FileListEnable(false);
        SendMessageA(ProgressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        SendMessageA(ProgressBar, PBM_SETSTEP, 10, 0);
        ProgressSetPos(0);
        SetWindowTextA(PasswordEdit, "qvk");
    }
};

}  // namespace

TEST_F(SeamTest, SelectedListEntry)
{
    std::string text = "unchanged";
    EXPECT_FALSE(FileListSelectedText(text)) << "empty list";

    const std::string longName = std::string(300, 'n') + ".bin";
    FileListAdd("Zeta");
    FileListAdd("..");
    FileListAdd(longName);
    FileListAdd("");
    FileListEnable(true);
    EXPECT_TRUE(IsWindowEnabled(FileList));
    EXPECT_FALSE(FileListSelectedText(text)) << "nothing selected";
    EXPECT_EQ(text, "unchanged");

    struct Case {
        int index;  // after the list box's own sorting
        std::string text;
    } cases[] = {{0, ""}, {1, ".."}, {2, longName}, {3, "Zeta"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        SendMessageA(FileList, LB_SETCURSEL, c.index, 0);
        ASSERT_TRUE(FileListSelectedText(text));
        EXPECT_EQ(text, c.text);
    }
    FileListReset();
    EXPECT_EQ(SendMessageA(FileList, LB_GETCOUNT, 0, 0), 0);
    EXPECT_FALSE(FileListSelectedText(text));
}

TEST_F(SeamTest, ProgressRangeStepAndPosition)
{
    for (uint16_t maximum : {uint16_t{1}, uint16_t{0x7fff}, uint16_t{0x8000}, uint16_t{0xffff}}) {
        SCOPED_TRACE(maximum);
        ProgressSetRange(maximum);
        PBRANGE range = {};
        SendMessageA(ProgressBar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
        EXPECT_EQ(range.iLow, 0);
        EXPECT_EQ(range.iHigh, maximum) << "the maximum is unsigned";
    }
    ProgressSetRange(10);
    ProgressSetPos(0);
    ProgressSetStep(1);
    for (int i = 0; i < 3; ++i)
        ProgressStepIt();
    EXPECT_EQ(SendMessageA(ProgressBar, PBM_GETPOS, 0, 0), 3);
    ProgressSetPos(0);
    EXPECT_EQ(SendMessageA(ProgressBar, PBM_GETPOS, 0, 0), 0);
}

TEST_F(SeamTest, PasswordIsReadUpTo254Characters)
{
    struct Case {
        std::string typed, read;
    } cases[] = {{"qvk", "qvk"}, {"", ""}, {std::string(300, 'p'), std::string(254, 'p')}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.size());
        SetWindowTextA(PasswordEdit, c.typed.c_str());
        EXPECT_EQ(ReadPassword(), c.read);
    }
}

TEST_F(SeamTest, AgreementQuestion)
{
    struct Case {
        int answer;
        bool accepted;
    } cases[] = {{IDYES, true}, {IDNO, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        DialogWatcher watcher(c.answer);
        bool accepted = AskAgreement("Rules: 100% of %s downloads are logged.");
        std::vector<SeenDialog> boxes = watcher.Stop();
        EXPECT_EQ(accepted, c.accepted);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, "Do you accept the agreement?");
        EXPECT_EQ(boxes[0].text, "Rules: 100% of %s downloads are logged.");
        EXPECT_EQ(boxes[0].owner, MainWindow);
    }
}

namespace {

// The Save dialog's file name box (Explorer style: an Edit in a ComboBox in ComboBoxEx32 0x47c).
HWND FileNameBox(HWND dialog)
{
    HWND comboEx = GetDlgItem(dialog, 0x47c);
    HWND combo = FindWindowExA(comboEx, nullptr, "ComboBox", nullptr);
    HWND edit = FindWindowExA(combo, nullptr, "Edit", nullptr);
    return edit ? edit : FindWindowExA(comboEx, nullptr, "Edit", nullptr);
}

// Answers the Save dialog: records the proposed name, then types name and presses OK, or
// cancels when name is empty. Whatever is still open after that is cancelled.
struct SaveDialogAnswer {
    std::string name;
    std::string caption;
    std::string proposed;
    bool extraBox = false;

    void operator()(HWND dialog)
    {
        if (!caption.empty()) {
            extraBox = true;  // a complaint about the name: give up
            DialogWatcher::Answer(dialog, IDOK);
            return;
        }
        caption = TextOf(dialog);
        HWND box = nullptr;
        for (int wait = 0; wait < 200 && !box; ++wait, Sleep(10))
            box = FileNameBox(dialog);
        proposed = TextOf(box);
        if (name.empty()) {
            DialogWatcher::Answer(dialog, IDCANCEL);
            return;
        }
        SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
        DialogWatcher::Answer(dialog, IDOK);
        for (int wait = 0; wait < 300 && IsWindow(dialog); ++wait)
            Sleep(10);
        if (IsWindow(dialog))
            DialogWatcher::Answer(dialog, IDCANCEL);
    }
};

}  // namespace

TEST_F(SeamTest, SaveDialogTakesANewFileName)
{
    char directory[MAX_PATH];
    GetTempPathA(sizeof directory, directory);
    std::string target = std::string(directory) + "velto-shell-new.bin";
    DeleteFileA(target.c_str());

    auto answer = std::make_shared<SaveDialogAnswer>();
    answer->name = target;
    std::string path;
    bool confirmed;
    {
        DialogWatcher watcher([answer](HWND dialog) { (*answer)(dialog); });
        confirmed = ChooseSavePath("readme.txt", path);
        watcher.Stop();
    }
    EXPECT_EQ(answer->caption, "Save File");
    EXPECT_EQ(answer->proposed, "readme.txt");
    EXPECT_FALSE(answer->extraBox) << "the dialog refused a file that does not exist yet";
    EXPECT_TRUE(confirmed);
    EXPECT_EQ(path, target);
}

TEST_F(SeamTest, SaveDialogCancelledOrWithAnOverlongName)
{
    struct Case {
        std::string initial;
        std::string proposed;
    } cases[] = {
        {"readme.txt", "readme.txt"},
        {std::string(300, 'n'), std::string(259, 'n')},  // cut to the 260-byte buffer
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.initial.size());
        auto answer = std::make_shared<SaveDialogAnswer>();
        std::string path = "unchanged";
        bool confirmed;
        {
            DialogWatcher watcher([answer](HWND dialog) { (*answer)(dialog); });
            confirmed = ChooseSavePath(c.initial, path);
            watcher.Stop();
        }
        EXPECT_FALSE(confirmed);
        EXPECT_EQ(path, "unchanged");
        EXPECT_EQ(answer->caption, "Save File");
        EXPECT_EQ(answer->proposed, c.proposed);
    }
}
