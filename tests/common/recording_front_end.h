// A front end that records what the conversation does and answers from a script.
// Implements every function of client/front_end.h and app/log.h except the Output* ones,
// which a test takes from velto_output_file (real files) and a fuzzer may bring itself.
// No GoogleTest here: fuzzers link it too.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

struct RecordedLogLine {
    const char* format;  // the literal format passed to LogMessage
    std::string text;    // the formatted line, without CR LF
};

// One result of SocketReceive: bytes that arrived together, or a bare result (0 or -1).
struct ScriptedReceive {
    std::string bytes;
    int result;  // > 0: deliver bytes; otherwise return this and deliver nothing
};

struct RecordingFrontEnd {
    // Every seam call in order, by name and argument, e.g. "FileListEnable(0)".
    std::vector<std::string> calls;

    std::vector<RecordedLogLine> log;
    std::vector<std::string> titles;

    // Socket.
    std::vector<std::string> sent;      // each block as passed to SocketSend
    std::deque<int> sendResults;        // scripted results; when empty a send succeeds whole
    int lastError = 0;                  // SocketLastError's answer
    std::deque<ScriptedReceive> receives;  // what SocketReceive hands out, front first
    std::vector<int> receiveLengths;    // the length asked of each SocketReceive
    int closeKeepHandleCalls = 0;

    // Connect window.
    int hideConnectWindowCalls = 0;
    int enableConnectButtonCalls = 0;
    std::vector<std::string> connectTitles;
    std::string password;

    // Modal questions. A hook, when set, answers instead of the scripted values (and may
    // re-enter the conversation, as the real modal loops do).
    std::vector<std::string> agreementTexts;
    std::deque<bool> agreementAnswers;  // when empty the answer is Yes
    std::function<bool(const char* text)> agreementHook;
    std::vector<std::string> saveInitialNames;
    bool saveConfirmed = true;
    std::string savePath;
    std::function<void()> saveHook;  // runs while the dialog is open, before it is answered

    // FileList.
    std::vector<std::string> listEntries;  // in the order added; the real list box sorts
    bool listEnabled = false;
    int listResets = 0;
    bool listHasSelection = false;
    std::string listSelection;

    // ProgressBar.
    std::vector<uint16_t> progressRanges;
    std::vector<int> progressSteps;
    int progressStepIts = 0;
    std::vector<int> progressPositions;

    // Queues bytes that the next reads take, at most the asked length each; what a read
    // does not take stays for the next one, as in a socket.
    void Arrive(const std::string& bytes);
    // Queues a read that returns result (0: closed, -1: failed) and delivers nothing.
    void ArriveResult(int result);

    // The formatted log lines only.
    std::vector<std::string> LogTexts() const;
    // Blocks sent, as their text up to the first NUL.
    std::vector<std::string> SentTexts() const;
};

extern RecordingFrontEnd Recorder;

// Back to an empty recorder.
void ResetRecorder();
