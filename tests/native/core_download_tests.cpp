// Downloads into real files.
#include <unistd.h>

#include "core_fixture.h"

using Texts = std::vector<std::string>;

class DownloadTest : public ConversationTest {
protected:
    // Logged in, "get name" sent, the Save dialog answered with path.
    void Request(const std::string& name, const std::string& path)
    {
        LogIn();
        Recorder.savePath = path;
        RequestDownload(name);
        ClearRecord();
    }
};

TEST_F(DownloadTest, FileOf1000BytesInFourReads)
{
    const std::string path = Path("out.bin");
    const std::string data = Pattern(1000);
    Request("data.bin", path);
    BytesDone = 77;
    Read("data.bin<1000");
    EXPECT_EQ(Recorder.calls, (Texts{"HideConnectWindow()", "SocketReceive(256)",
                                     "LogMessage(Creating file data.bin of size 1000)",
                                     "ProgressSetRange(3)", "ProgressSetStep(1)",
                                     "FileListEnable(0)"}));
    EXPECT_EQ(BytesDone, 0u);
    EXPECT_EQ(BytesTotal, 1000u);
    EXPECT_EQ(ProtocolState, Download);

    for (int i = 0; i < 3; ++i) {
        Read(data.substr(256 * i, 256));
        EXPECT_EQ(Recorder.progressStepIts, i + 1);
        EXPECT_EQ(ProtocolState, Download);
    }
    Read(data.substr(768));
    EXPECT_EQ(Recorder.progressStepIts, 3) << "the last read makes no step";
    EXPECT_EQ(BytesDone, 1000u);
    EXPECT_EQ(ProtocolState, Command);
    EXPECT_EQ(Recorder.receiveLengths, (std::vector<int>{256, 256, 256, 256, 232}));

    ClearRecord();
    Read("@");
    EXPECT_FALSE(OutputIsOpen());
    EXPECT_EQ(FileBytes(path), data);
    EXPECT_EQ(Recorder.LogTexts(), Texts{"File " + path + " successfully transfered!."});
    EXPECT_EQ(Recorder.progressPositions, std::vector<int>{0});
    EXPECT_TRUE(Recorder.listEnabled);
    EXPECT_EQ(ProtocolState, Command);
}

TEST_F(DownloadTest, FileOf100BytesEndsWithItsOnlyRead)
{
    const std::string data = Pattern(100, 7);
    Request("small", Path("small"));
    Read("small<100");
    EXPECT_EQ(Recorder.progressRanges, std::vector<uint16_t>{0});
    Read(data);
    EXPECT_EQ(Recorder.progressStepIts, 0);
    EXPECT_EQ(ProtocolState, Command);
    Read("@");
    EXPECT_EQ(FileBytes(Path("small")), data);
}

TEST_F(DownloadTest, EmptyFileIsCompleteAtItsHeader)
{
    const std::string path = Path("empty");
    std::ofstream(path) << "old contents";
    Request("empty", path);
    Read("empty<0");
    EXPECT_EQ(ProtocolState, Command);
    EXPECT_TRUE(OutputIsOpen());
    EXPECT_EQ(Recorder.progressRanges, std::vector<uint16_t>{0});
    ClearRecord();
    Read("@");  // a notice, not data
    EXPECT_EQ(Recorder.LogTexts(), Texts{"File " + path + " successfully transfered!."});
    EXPECT_EQ(Recorder.progressStepIts, 0);
    EXPECT_FALSE(OutputIsOpen());
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(FileBytes(path), "");
}

TEST_F(DownloadTest, ProgressRangeIsTheSizeIn256ByteUnitsLow16Bits)
{
    const struct {
        const char* header;
        uint16_t range;
    } cases[] = {
        {"f<1000", 3},
        {"f<255", 0},
        {"f<65535", 255},
        {"f<16776960", 65535},
        {"f<16777216", 0},  // 2^24: 65536 shifted, cut to 0
        {"f<16777472", 1},
    };
    for (const auto& c : cases) {
        ResetRecorder();
        ProtocolState = Command;
        Read(c.header);
        EXPECT_EQ(Recorder.progressRanges, std::vector<uint16_t>{c.range}) << c.header;
        EXPECT_EQ(ProtocolState, Download);
    }
}

TEST_F(DownloadTest, SizeAbove2GiBIsLoggedSignedAndCountedUnsigned)
{
    Request("big.iso", Path("big.iso"));
    Read("big.iso<3221225472");
    EXPECT_EQ(Recorder.LogTexts(), Texts{"Creating file big.iso of size -1073741824"});
    EXPECT_EQ(BytesTotal, 3221225472u);
    EXPECT_EQ(Recorder.progressRanges, std::vector<uint16_t>{0});  // 12582912 cut to 16 bits

    // Near the end: reads are limited to what the file still needs, and it ends there.
    BytesDone = 3221225472u - 300u;
    Read(std::string(256, 'a'));
    EXPECT_EQ(ProtocolState, Download);
    EXPECT_EQ(NextReadLength(), 44);
    Read(std::string(44, 'b'));
    EXPECT_EQ(BytesDone, 3221225472u);
    EXPECT_EQ(ProtocolState, Command);
    Read("@");
    EXPECT_EQ(FileBytes(Path("big.iso")), std::string(256, 'a') + std::string(44, 'b'));
}

TEST_F(DownloadTest, NextReadLength)
{
    const struct {
        int32_t state;
        uint32_t done, total;
        int length;
    } cases[] = {
        {Command, 0, 10, 256},
        {Agreement, 0, 10, 256},
        {Listing, 0, 10, 256},
        {Download, 0, 1000, 256},
        {Download, 744, 1000, 256},
        {Download, 745, 1000, 255},
        {Download, 999, 1000, 1},
        {Download, 0, 4294967295u, 256},
        {Download, 4294967290u, 4294967295u, 5},
    };
    for (const auto& c : cases) {
        ProtocolState = c.state;
        BytesDone = c.done;
        BytesTotal = c.total;
        EXPECT_EQ(NextReadLength(), c.length) << c.state << " " << c.done << "/" << c.total;
    }
}

TEST_F(DownloadTest, CompletionNoticeRightBehindTheDataIsReadOnItsOwn)
{
    const std::string path = Path("joined.bin");
    const std::string data = Pattern(300, 3);
    Request("joined.bin", path);
    Read("joined.bin<300");
    Recorder.receiveLengths.clear();
    ReadAll(data + "@done");  // one arrival: data and notice together
    EXPECT_EQ(Recorder.receiveLengths, (std::vector<int>{256, 44, 256}));
    EXPECT_FALSE(OutputIsOpen());
    EXPECT_EQ(FileBytes(path), data);
    EXPECT_EQ(Recorder.LogTexts().back(), "File " + path + " successfully transfered!.");
    EXPECT_TRUE(Recorder.listEnabled);
}

TEST_F(DownloadTest, FileThatCannotBeCreatedIsNeverReportedAsTransferred)
{
    const std::string path = Path("missing/out.bin");
    Request("out.bin", path);
    Read("out.bin<600");
    EXPECT_EQ(Recorder.LogTexts(), (Texts{"Creating file out.bin of size 600",
                                          "Error couldnt create file " + path}));
    EXPECT_EQ(ProtocolState, Download);
    ReadAll(Pattern(600));  // still counted, so the conversation stays in step
    EXPECT_EQ(BytesDone, 600u);
    EXPECT_EQ(ProtocolState, Command);
    Read("@");
    EXPECT_EQ(Recorder.LogTexts(), (Texts{"Creating file out.bin of size 600",
                                          "Error couldnt create file " + path,
                                          "File " + path + " was not transfered!."}));
    EXPECT_EQ(Recorder.progressPositions, std::vector<int>{0});
    EXPECT_TRUE(Recorder.listEnabled);
    EXPECT_FALSE(std::filesystem::exists(path));

    // The next download that can be written is reported as such again.
    Recorder.savePath = Path("ok.bin");
    RequestDownload("ok.bin");
    Read("ok.bin<2");
    Read("ok");
    Read("@");
    EXPECT_EQ(Recorder.LogTexts().back(), "File " + Path("ok.bin") + " successfully transfered!.");
}

TEST_F(DownloadTest, FileThatCannotBeWrittenIsNeverReportedAsTransferred)
{
    if (access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "no /dev/full";
    // Small files fail when the stream is flushed at close, large ones at a write.
    for (uint32_t size : {1000u, 100000u}) {
        ResetRecorder();
        ResetConversation();
        Request("f", "/dev/full");
        Read("f<" + std::to_string(size));
        ReadAll(Pattern(size));
        EXPECT_EQ(ProtocolState, Command);
        Read("@");
        EXPECT_EQ(Recorder.LogTexts(),
                  (Texts{"Creating file f of size " + std::to_string(size),
                         "Error couldnt write file /dev/full",
                         "File /dev/full was not transfered!."}))
            << size;
    }
}

TEST_F(DownloadTest, ReconnectDuringADownloadEndsIt)
{
    const std::string path = Path("cut.bin");
    const std::string data = Pattern(256, 9);
    Request("cut.bin", path);
    Read("cut.bin<1000");
    Read(data);
    HandleSocketEvent(SocketClose);
    EXPECT_EQ(ProtocolState, Download);
    EXPECT_TRUE(OutputIsOpen());

    ClearRecord();
    HandleSocketEvent(SocketConnect);
    EXPECT_EQ(Recorder.LogTexts(), (Texts{"Succesfully Connected Sending Handshake",
                                          "Already reciving a file cannot connect!"}));
    EXPECT_EQ(Recorder.titles, Texts{"VELTO ZUrod GUI - Connected."});
    EXPECT_EQ(ProtocolState, Command);
    EXPECT_FALSE(OutputIsOpen());
    EXPECT_EQ(FileBytes(path), data);

    // The new connection's prompt is a prompt, not file data.
    Read("Enter password:");
    EXPECT_EQ(ProtocolState, Agreement);
    EXPECT_EQ(FileBytes(path), data);

    // A stray completion notice does not call the cut file transferred.
    ProtocolState = Command;
    Read("@");
    EXPECT_EQ(Recorder.LogTexts().back(), "File " + path + " was not transfered!.");
}

TEST_F(DownloadTest, CompletionNoticeWithoutDownloadLogsTheLastPath)
{
    Read("@");
    EXPECT_EQ(Recorder.LogTexts(), Texts{"File  successfully transfered!."});
    EXPECT_EQ(Recorder.progressPositions, std::vector<int>{0});
    EXPECT_TRUE(Recorder.listEnabled);
    EXPECT_EQ(ProtocolState, Command);
}

TEST_F(DownloadTest, SecondDownloadToTheSamePathLeavesOnlyItsBytes)
{
    const std::string path = Path("same.bin");
    Request("same.bin", path);
    Read("same.bin<600");
    ReadAll(Pattern(600));
    Read("@");
    RequestDownload("same.bin");
    Read("same.bin<10");
    Read("0123456789");
    Read("@");
    EXPECT_EQ(FileBytes(path), "0123456789");
}

TEST_F(DownloadTest, HeaderWhileAFileIsOpenClosesItFirst)
{
    const std::string first = Path("first.bin");
    Request("first.bin", first);
    Read("first.bin<5");
    Read("abcde");  // its notice never comes
    EXPECT_TRUE(OutputIsOpen());
    Recorder.savePath = Path("second.bin");
    RequestDownload("second.bin");
    Read("second.bin<3");
    EXPECT_EQ(FileBytes(first), "abcde");
    Read("xyz");
    Read("@");
    EXPECT_EQ(FileBytes(Path("second.bin")), "xyz");
    EXPECT_EQ(Recorder.LogTexts().back(), "File " + Path("second.bin") + " successfully transfered!.");
}

// The modal boxes run their own message loops: a file whose header is read meanwhile must
// stay a file when the box is answered, or its remaining bytes would be taken for replies
// (and a notice among them would report a cut file as transferred).
TEST_F(DownloadTest, FileBegunWhileTheSaveDialogIsOpenStaysAFile)
{
    const std::string first = Path("first.bin");
    const std::string data = Pattern(300, 64);
    Request("first.bin", first);
    // Before its header arrives the user double-clicks the next file.
    Recorder.savePath = Path("second.bin");
    Recorder.saveHook = [&] {
        Read("first.bin<300");
        Read(data.substr(0, 100));
    };
    RequestDownload("second.bin");
    Recorder.saveHook = nullptr;
    EXPECT_EQ(Recorder.SentTexts().back(), "get second.bin");
    EXPECT_EQ(ProtocolState, Download);
    Read(data.substr(100, 200));
    Read("@");
    EXPECT_EQ(FileBytes(first), data);
    Read("second.bin<3");
    Read("xyz");
    Read("@");
    EXPECT_EQ(FileBytes(Path("second.bin")), "xyz");
}

TEST_F(DownloadTest, FileBegunWhileAnAgreementBoxIsOpenStaysAFile)
{
    // The agreement came in two reads, so two boxes; the top one is answered first, and a
    // file header arrives before the first box is answered.
    const std::string path = Path("f.bin");
    const std::string data = Pattern(300, 9);
    Request("f.bin", path);  // SavePath from the last connection
    HandleSocketEvent(SocketConnect);
    Read("Enter password:");
    int depth = 0;
    Recorder.agreementHook = [&](const char*) {
        if (depth++ == 0) {
            Read("second half");
            Read("f.bin<300");
        }
        return true;
    };
    Read("first half");
    Recorder.agreementHook = nullptr;
    EXPECT_EQ(ProtocolState, Download);
    Read(data.substr(0, 256));
    Read(data.substr(256));
    Read("@");
    EXPECT_EQ(FileBytes(path), data);
    EXPECT_EQ(Recorder.LogTexts().back(), "File " + path + " successfully transfered!.");
}
