// A fixture for conversation tests: a fresh conversation, a recording front end, reads fed
// one socket notification at a time, and a temporary directory for downloaded files.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "client/conversation.h"
#include "client/front_end.h"
#include "recording_front_end.h"

class ConversationTest : public ::testing::Test {
protected:
    std::filesystem::path dir;

    void SetUp() override
    {
        ResetRecorder();
        ResetConversation();
        char pattern[] = "/tmp/velto-core-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        Recorder.savePath = Path("saved.bin");
    }

    void TearDown() override
    {
        ResetConversation();  // closes a file left open
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    std::string Path(const std::string& name) const { return (dir / name).string(); }

    // One FD_READ notification with these bytes waiting.
    void Read(const std::string& bytes)
    {
        Recorder.Arrive(bytes);
        HandleSocketEvent(SocketRead);
    }

    // FD_READ notifications while data is waiting, as Winsock posts them.
    void ReadAll(const std::string& bytes)
    {
        Recorder.Arrive(bytes);
        for (int guard = 0; !Recorder.receives.empty() && guard < 100000; ++guard)
            HandleSocketEvent(SocketRead);
        ASSERT_TRUE(Recorder.receives.empty());
    }

    // Connected, password sent, agreement accepted: back in Command.
    void LogIn()
    {
        HandleSocketEvent(SocketConnect);
        Read("Enter password:");
        Read("Be nice.");
        ASSERT_EQ(ProtocolState, Command);
    }

    // Starts recording afresh, keeping the scripted answers.
    void ClearRecord()
    {
        Recorder.calls.clear();
        Recorder.log.clear();
        Recorder.titles.clear();
        Recorder.sent.clear();
        Recorder.receiveLengths.clear();
        Recorder.progressRanges.clear();
        Recorder.progressSteps.clear();
        Recorder.progressStepIts = 0;
        Recorder.progressPositions.clear();
        Recorder.listResets = 0;
        Recorder.saveInitialNames.clear();
        Recorder.agreementTexts.clear();
    }

    static std::string FileBytes(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // Bytes 0, 1, ..., 255, 0, 1, ...: NUL bytes included, every position distinct mod 256.
    static std::string Pattern(std::size_t count, unsigned seed = 0)
    {
        std::string bytes(count, '\0');
        for (std::size_t i = 0; i < count; ++i)
            bytes[i] = static_cast<char>((i + seed) & 0xff);
        return bytes;
    }
};
