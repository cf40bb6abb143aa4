// The program log (LogView) and the main window's title.
#include <cstdarg>
#include <cstdio>

#include "app/app.h"
#include "app/log.h"

void LogMessage(const char* format, ...)
{
    // Room for the text, CR LF and the NUL; a longer text is cut, never overrun.
    char line[5000];
    va_list arguments;
    va_start(arguments, format);
    int length = vsnprintf(line, sizeof line - 2, format, arguments);
    va_end(arguments);
    if (length < 0)
        length = 0;
    if (length > static_cast<int>(sizeof line) - 3)
        length = sizeof line - 3;
    line[length] = '\r';
    line[length + 1] = '\n';
    line[length + 2] = '\0';

    // Insert at the very end: the log is only ever extended, and the user's selection dropped.
    LRESULT end = SendMessageA(LogView, WM_GETTEXTLENGTH, 0, 0);
    SendMessageA(LogView, EM_SETSEL, end, end);
    SendMessageA(LogView, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line));
    end = SendMessageA(LogView, WM_GETTEXTLENGTH, 0, 0);
    SendMessageA(LogView, EM_SETSEL, end, end);
}

void SetMainTitle(const char* text)
{
    SendMessageA(MainWindow, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}
