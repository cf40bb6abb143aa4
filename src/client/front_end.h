// What the conversation needs of the rest of the program. The conversation is portable C++;
// it reaches the windows, the socket and the output file only through these functions.
// The program implements them with the real controls (front_end_win.cpp, output_file.cpp);
// native tests and fuzzers implement them with recorders.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/log.h"  // LogMessage, SetMainTitle

// Connection's socket.
int SocketSend(const char* bytes, int length);  // send's result: bytes sent, or -1 on error
int SocketLastError();                           // the error of the last failed socket call
int SocketReceive(char* buffer, int length);     // recv's result: 1..length, 0 (closed) or -1
void SocketCloseKeepHandle();                    // close now; Connection keeps the handle

// The connect window.
void HideConnectWindow();
void EnableConnectButton();
void SetConnectWindowTitle(const char* text);
std::string ReadPassword();  // PasswordEdit's text, at most 254 characters

// Modal questions. Both run their own message loop, so socket events may be handled
// (and the conversation re-entered) before they return.
bool AskAgreement(const char* text);  // Yes: true
bool ChooseSavePath(const std::string& initialName, std::string& path);  // confirmed: true

// FileList.
void FileListReset();
void FileListEnable(bool enable);
void FileListAdd(const std::string& entry);
bool FileListSelectedText(std::string& text);  // false when no entry is selected

// ProgressBar.
void ProgressSetRange(uint16_t maximum);  // minimum 0
void ProgressSetStep(int step);
void ProgressStepIt();
void ProgressSetPos(int position);

// OutputFile: the current download's file, binary, created or truncated.
bool OutputOpen(const std::string& path);
bool OutputWrite(const char* bytes, std::size_t count);
bool OutputClose();  // false when some bytes could not be written
bool OutputIsOpen();
