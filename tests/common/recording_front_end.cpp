// The recording front end.
#include "recording_front_end.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "client/front_end.h"

RecordingFrontEnd Recorder;

void ResetRecorder()
{
    Recorder = RecordingFrontEnd();
}

void RecordingFrontEnd::Arrive(const std::string& bytes)
{
    receives.push_back({bytes, 1});
}

void RecordingFrontEnd::ArriveResult(int result)
{
    receives.push_back({std::string(), result});
}

std::vector<std::string> RecordingFrontEnd::LogTexts() const
{
    std::vector<std::string> texts;
    for (const RecordedLogLine& line : log)
        texts.push_back(line.text);
    return texts;
}

std::vector<std::string> RecordingFrontEnd::SentTexts() const
{
    std::vector<std::string> texts;
    for (const std::string& block : sent)
        texts.push_back(block.c_str());
    return texts;
}

static void Call(const std::string& name, const std::string& argument = std::string())
{
    Recorder.calls.push_back(name + "(" + argument + ")");
}

void LogMessage(const char* format, ...)
{
    char line[5000];  // the program's log line buffer
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    Recorder.log.push_back({format, line});
    Call("LogMessage", line);
}

void SetMainTitle(const char* text)
{
    Recorder.titles.push_back(text);
    Call("SetMainTitle", text);
}

int SocketSend(const char* bytes, int length)
{
    Recorder.sent.push_back(std::string(bytes, static_cast<std::size_t>(length)));
    Call("SocketSend", Recorder.sent.back().c_str());  // the text up to its NUL
    if (Recorder.sendResults.empty())
        return length;
    int result = Recorder.sendResults.front();
    Recorder.sendResults.pop_front();
    return result;
}

int SocketLastError()
{
    return Recorder.lastError;
}

int SocketReceive(char* buffer, int length)
{
    Recorder.receiveLengths.push_back(length);
    Call("SocketReceive", std::to_string(length));
    if (Recorder.receives.empty()) {
        Recorder.lastError = 10035;  // WSAEWOULDBLOCK: nothing there
        return -1;
    }
    ScriptedReceive& next = Recorder.receives.front();
    if (next.result <= 0) {
        int result = next.result;
        Recorder.receives.pop_front();
        return result;
    }
    std::size_t count = next.bytes.size();
    if (count > static_cast<std::size_t>(length))
        count = static_cast<std::size_t>(length);
    std::memcpy(buffer, next.bytes.data(), count);
    next.bytes.erase(0, count);
    if (next.bytes.empty())
        Recorder.receives.pop_front();
    return static_cast<int>(count);
}

void SocketCloseKeepHandle()
{
    ++Recorder.closeKeepHandleCalls;
    Call("SocketCloseKeepHandle");
}

void HideConnectWindow()
{
    ++Recorder.hideConnectWindowCalls;
    Call("HideConnectWindow");
}

void EnableConnectButton()
{
    ++Recorder.enableConnectButtonCalls;
    Call("EnableConnectButton");
}

void SetConnectWindowTitle(const char* text)
{
    Recorder.connectTitles.push_back(text);
    Call("SetConnectWindowTitle", text);
}

std::string ReadPassword()
{
    Call("ReadPassword");
    return Recorder.password;
}

bool AskAgreement(const char* text)
{
    Recorder.agreementTexts.push_back(text);
    Call("AskAgreement", text);
    if (Recorder.agreementHook)
        return Recorder.agreementHook(text);
    if (Recorder.agreementAnswers.empty())
        return true;
    bool answer = Recorder.agreementAnswers.front();
    Recorder.agreementAnswers.pop_front();
    return answer;
}

bool ChooseSavePath(const std::string& initialName, std::string& path)
{
    Recorder.saveInitialNames.push_back(initialName);
    Call("ChooseSavePath", initialName);
    if (Recorder.saveHook)
        Recorder.saveHook();
    if (!Recorder.saveConfirmed)
        return false;
    path = Recorder.savePath;
    return true;
}

void FileListReset()
{
    Recorder.listEntries.clear();
    ++Recorder.listResets;
    Call("FileListReset");
}

void FileListEnable(bool enable)
{
    Recorder.listEnabled = enable;
    Call("FileListEnable", enable ? "1" : "0");
}

void FileListAdd(const std::string& entry)
{
    Recorder.listEntries.push_back(entry);
    Call("FileListAdd", entry);
}

bool FileListSelectedText(std::string& text)
{
    Call("FileListSelectedText");
    if (!Recorder.listHasSelection)
        return false;
    text = Recorder.listSelection;
    return true;
}

void ProgressSetRange(uint16_t maximum)
{
    Recorder.progressRanges.push_back(maximum);
    Call("ProgressSetRange", std::to_string(maximum));
}

void ProgressSetStep(int step)
{
    Recorder.progressSteps.push_back(step);
    Call("ProgressSetStep", std::to_string(step));
}

void ProgressStepIt()
{
    ++Recorder.progressStepIts;
    Call("ProgressStepIt");
}

void ProgressSetPos(int position)
{
    Recorder.progressPositions.push_back(position);
    Call("ProgressSetPos", std::to_string(position));
}
