// The conversation's reach into the windows: the connect window, the questions, the file
// list and the progress bar. (The socket's part is in connection.cpp.)
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <vector>

#include "app/app.h"
#include "client/front_end.h"
#include "connect/connect_window.h"

void HideConnectWindow()
{
    ShowWindow(ConnectWindow, SW_HIDE);
}

void EnableConnectButton()
{
    EnableWindow(ConnectButton, TRUE);
}

void SetConnectWindowTitle(const char* text)
{
    SendMessageA(ConnectWindow, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

std::string ReadPassword()
{
    char password[255] = {};
    SendMessageA(PasswordEdit, WM_GETTEXT, sizeof password, reinterpret_cast<LPARAM>(password));
    return password;
}

bool AskAgreement(const char* text)
{
    return MessageBoxA(MainWindow, text, "Do you accept the agreement?",
                       MB_ICONQUESTION | MB_YESNO) == IDYES;
}

bool ChooseSavePath(const std::string& initialName, std::string& path)
{
    // A name too long for the buffer is proposed cut, never written past its end.
    char file[MAX_PATH] = {};
    initialName.copy(file, sizeof file - 1);

    OPENFILENAMEA dialog = {};
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    dialog.hwndOwner = GetForegroundWindow();
    dialog.hInstance = ProgramModule();
    dialog.lpstrFilter = "*.*\0*.*\0ALL\0*.*\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = sizeof file;
    dialog.lpstrTitle = "Save File";
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    if (GetSaveFileNameA(&dialog) != 1)
        return false;
    path = file;
    return true;
}

void FileListReset()
{
    // A listing may bring thousands of entries right after this: redrawing the list after
    // each one would freeze the window for minutes. It is drawn again once the handler that
    // fills it has returned and the message loop delivers the posted message.
    SendMessageA(FileList, WM_SETREDRAW, FALSE, 0);
    PostMessageA(FileList, WM_SETREDRAW, TRUE, 0);
    SendMessageA(FileList, LB_RESETCONTENT, 0, 0);
}

void FileListEnable(bool enable)
{
    EnableWindow(FileList, enable);
}

void FileListAdd(const std::string& entry)
{
    SendMessageA(FileList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
}

bool FileListSelectedText(std::string& text)
{
    LRESULT index = SendMessageA(FileList, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR)
        return false;
    // Entries come from the server and may be of any length.
    LRESULT length = SendMessageA(FileList, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR)
        return false;
    std::vector<char> entry(static_cast<size_t>(length) + 1);
    LRESULT copied = SendMessageA(FileList, LB_GETTEXT, index, reinterpret_cast<LPARAM>(entry.data()));
    if (copied == LB_ERR)
        return false;
    text.assign(entry.data(), static_cast<size_t>(copied));
    return true;
}

// Under Wine the progress bar draws itself anew on every step, which costs several times a
// 256-byte read. While a download steps it, its drawing is off and the panel's timer shows it
// at most every 100 ms; any other change turns drawing on first. The position itself follows
// every step.
static bool ProgressDrawingOff;
static DWORD ProgressDrawnAt;

static void ProgressDrawingOn()
{
    if (!ProgressDrawingOff)
        return;
    SendMessageA(ProgressBar, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(ProgressBar, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    ProgressDrawingOff = false;
    ProgressDrawnAt = GetTickCount();
}

void ShowProgressSteps()
{
    if (ProgressDrawingOff && GetTickCount() - ProgressDrawnAt >= 100)
        ProgressDrawingOn();
}

void ProgressSetRange(uint16_t maximum)
{
    ProgressDrawingOn();
    SendMessageA(ProgressBar, PBM_SETRANGE, 0, MAKELPARAM(0, maximum));
}

void ProgressSetStep(int step)
{
    ProgressDrawingOn();
    SendMessageA(ProgressBar, PBM_SETSTEP, step, 0);
}

void ProgressStepIt()
{
    // A bar with an empty range does not move: it is left as it is.
    if (!ProgressDrawingOff && SendMessageA(ProgressBar, PBM_GETRANGE, TRUE, 0) !=
                                   SendMessageA(ProgressBar, PBM_GETRANGE, FALSE, 0)) {
        SendMessageA(ProgressBar, WM_SETREDRAW, FALSE, 0);
        ProgressDrawingOff = true;
    }
    SendMessageA(ProgressBar, PBM_STEPIT, 0, 0);
}

void ProgressSetPos(int position)
{
    ProgressDrawingOn();
    SendMessageA(ProgressBar, PBM_SETPOS, position, 0);
}
