// The program log and the main window's title.
// Declared without Windows types so that the conversation can log from portable code.
#pragma once

#if defined(__GNUC__)
#define VELTO_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define VELTO_PRINTF(fmt, args)
#endif

// Appends one formatted line (CR LF added) to LogView. Text from outside is always
// passed as the argument of a "%s", never as the format.
void LogMessage(const char* format, ...) VELTO_PRINTF(1, 2);

// Makes text the title of MainWindow.
void SetMainTitle(const char* text);
