// Drives velto.exe from another process, as a user would see it: its windows, texts,
// controls, message boxes and menus. Every wait polls with a bound; nothing blocks on the
// client (messages whose handling opens a modal box are posted, never sent).
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace e2e {

constexpr DWORD kWaitMs = 10000;  // default bound of every wait

// Where things are, from the environment the rig sets (Unix paths become Z:\ paths).
std::string ClientExePath();         // VELTO_EXE, else the velto.exe built beside the driver
std::string ShotsDir();              // VELTO_E2E_SHOTS, else .\e2e-shots
std::string EnvOr(const char* name, const std::string& fallback);
std::string WindowsPath(const std::string& path);  // "/a/b" -> "Z:\a\b"; others unchanged

// Polls `done` every 20 ms until it returns true or `timeout_ms` have passed.
bool WaitUntil(const std::function<bool()>& done, DWORD timeout_ms = kWaitMs);

// One running client process.
class Client {
public:
    Client() = default;
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;
    ~Client();  // kills the process if it still runs

    bool Start(const std::string& exe = ClientExePath());
    bool Running() const;
    // Waits for the process to end; false on timeout. Stores the exit code.
    bool WaitForExit(DWORD timeout_ms, DWORD* exit_code);
    void Kill();
    DWORD Pid() const { return info_.dwProcessId; }
    HANDLE Process() const { return info_.hProcess; }

    // A visible or hidden top-level window of this process by class and title
    // (title nullptr: any title). Null on timeout.
    HWND WaitForWindow(const char* class_name, const char* title, DWORD timeout_ms = kWaitMs) const;
    HWND FindWindowOf(const char* class_name, const char* title) const;

    // The client's three windows, waited for; the main window once start-up has shown it.
    HWND MainWindow() const;
    HWND ConnectWindow() const;
    HWND AboutWindow() const;

private:
    PROCESS_INFORMATION info_{};
};

// Texts and controls.
std::string GetText(HWND window);
void SetText(HWND window, const std::string& text);  // WM_SETTEXT, as typing would leave it
std::string ClassOf(HWND window);
std::vector<HWND> Children(HWND parent);  // direct children, in z-order
// The child of `parent` of that class whose top-left corner is at `pos` in parent's client area.
HWND ChildAt(HWND parent, const char* class_name, POINT pos);
HWND ChildById(HWND parent, int id);
RECT WindowRectOf(HWND window);
SIZE WindowSize(HWND window);
SIZE ClientSize(HWND window);
LONG_PTR StyleOf(HWND window);
LONG_PTR ExStyleOf(HWND window);

std::vector<std::string> ListBoxEntries(HWND list);
int ListBoxCount(HWND list);

// The main window's program log (the "Edit" at (10, 280)): one entry per CR LF-ended line.
HWND LogViewOf(HWND main_window);
HWND FileListOf(HWND main_window);
HWND ProgressBarOf(HWND main_window);
std::vector<std::string> LogLines(HWND main_window);
bool WaitForLogLine(HWND main_window, const std::string& line, DWORD timeout_ms = kWaitMs);
bool WaitForTitle(HWND window, const std::string& title, DWORD timeout_ms = kWaitMs);

// Progress bar: range and position.
std::pair<int, int> ProgressRange(HWND bar);
int ProgressPos(HWND bar);

// Commands. All posted, so that a modal box opened by the handler cannot block the driver.
void PostCommand(HWND window, WORD id);
void PostClose(HWND window);
// Posts the BN_CLICKED its parent would get; false if the button is hidden or disabled.
bool ClickButton(HWND parent, int button_id);
// Selects the entry, then posts the LBN_DBLCLK; false if the list is disabled or too short.
bool DoubleClickListEntry(HWND main_window, int index);

// Opens the connect window from the menu, types the address, port and password and presses
// "Connect!". Returns the connect window, or null if it did not appear.
HWND ConnectTo(const Client& client, const std::string& address, int port,
               const std::string& password);
// ConnectTo, then waits for the agreement question and answers Yes. False if the connect
// window or the question did not appear.
bool ConnectAndAccept(const Client& client, const std::string& address, int port,
                      const std::string& password);

// Message boxes and dialogs (the Save dialog too): top-level "#32770" windows of the
// process with that caption, once shown.
HWND WaitForMessageBox(const Client& client, const char* caption, DWORD timeout_ms = kWaitMs);
std::string MessageBoxText(HWND box);  // the text of its "Static" that is not the icon
void AnswerMessageBox(HWND box, int answer);  // IDOK, IDYES, IDNO
bool WaitForWindowGone(HWND window, DWORD timeout_ms = kWaitMs);

// The Save dialog: types the path into its file-name box and confirms.
bool FillSaveDialog(HWND dialog, const std::string& path);

// A menu as the program's resources define it, read from the file as data.
struct MenuItem {
    std::string text;  // "" for a separator
    UINT id = 0;       // command id; 0 for separators and popups
    bool separator = false;
    std::vector<MenuItem> items;  // a popup's entries
};
std::vector<MenuItem> LoadMenuFromExe(const std::string& exe, int menu_id);

// Saves a part of the screen (screen coordinates) as a 24-bit .bmp; empty rect: everything.
bool SaveScreenshot(const std::string& bmp_path, RECT area = RECT{});
// Saves the window with its frame under the shots directory as <name>.bmp; returns the path.
std::string SaveWindowShot(HWND window, const std::string& name);

}  // namespace e2e
