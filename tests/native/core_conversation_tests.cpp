// The conversation's socket events, command replies and agreement step.
#include <cstring>
#include <set>

#include "core_fixture.h"

using Texts = std::vector<std::string>;

TEST_F(ConversationTest, EverySocketEventClearsTheBufferFirst)
{
    for (int event : {0, 8, 99}) {
        std::memset(ReceiveBuffer, 'x', sizeof ReceiveBuffer);
        HandleSocketEvent(event);
        EXPECT_EQ(std::string(ReceiveBuffer, sizeof ReceiveBuffer), std::string(ReadSize, '\0'));
    }
    EXPECT_TRUE(Recorder.calls.empty()) << "unknown events do nothing else";

    // A read shorter than the last one leaves no bytes of it behind.
    LogIn();
    Read("CD#/abcdefgh");
    Read("CD#/x");
    EXPECT_EQ(Recorder.LogTexts().back(), "CD Directory to /x");
}

TEST_F(ConversationTest, ConnectSendsTheHandshakeAndEntersCommand)
{
    for (int32_t before : {Command, Agreement, Listing}) {
        ResetRecorder();
        ProtocolState = before;
        HandleSocketEvent(SocketConnect);
        ASSERT_EQ(Recorder.sent.size(), 1u);
        EXPECT_EQ(Recorder.sent[0], std::string("velto") + std::string(251, '\0'));
        EXPECT_EQ(Recorder.LogTexts(), Texts{"Succesfully Connected Sending Handshake"});
        EXPECT_EQ(Recorder.titles, Texts{"VELTO ZUrod GUI - Connected."});
        EXPECT_EQ(ProtocolState, Command);
    }
}

TEST_F(ConversationTest, FailedHandshakeReportsTheSendError)
{
    ProtocolState = Listing;
    Recorder.sendResults = {-1};
    Recorder.lastError = 10057;  // WSAENOTCONN
    HandleSocketEvent(SocketConnect);
    EXPECT_EQ(Recorder.LogTexts(), Texts{"Error couldnt connect Error Number 10057"});
    EXPECT_EQ(Recorder.enableConnectButtonCalls, 1);
    EXPECT_EQ(Recorder.connectTitles, Texts{"Connection Couldnt be Established"});
    EXPECT_TRUE(Recorder.titles.empty());
    EXPECT_EQ(ProtocolState, Listing);
}

TEST_F(ConversationTest, PasswordPromptSendsTheBarePassword)
{
    const struct {
        const char* password;
    } cases[] = {{"qvk"}, {""}, {"with blank"}};
    for (const auto& c : cases) {
        ResetRecorder();
        Recorder.password = c.password;
        ProtocolState = Command;
        Read("Enter password:");
        ASSERT_EQ(Recorder.sent.size(), 1u);
        std::string expected(c.password);
        expected.resize(CommandBlockSize, '\0');  // the empty password: 256 zero bytes
        EXPECT_EQ(Recorder.sent[0], expected);
        EXPECT_EQ(Recorder.LogTexts(), Texts{"Sending password info..."});
        EXPECT_EQ(ProtocolState, Agreement);
    }
}

TEST_F(ConversationTest, CapitalPasswordPromptIsAnEmptyListingHeader)
{
    Read("Password:");
    EXPECT_TRUE(Recorder.sent.empty());
    EXPECT_EQ(Recorder.LogTexts(), Texts{"Listing Directory of Length of 0"});
    EXPECT_EQ(ProtocolState, Listing);
    Read("whatever comes");
    EXPECT_EQ(Recorder.listEntries, (Texts{"..", "whatever comes"}));
    EXPECT_TRUE(Recorder.listEnabled);
}

TEST_F(ConversationTest, AgreementAcceptedAsksForTheListing)
{
    ProtocolState = Agreement;
    Read("#x is the agreement");  // a marker in it changes nothing
    EXPECT_EQ(Recorder.agreementTexts, Texts{"#x is the agreement"});
    EXPECT_EQ(Recorder.LogTexts(), Texts{"Accepted Agreement Listing Directory."});
    EXPECT_EQ(Recorder.SentTexts(), Texts{"ls"});
    EXPECT_EQ(ProtocolState, Command);
}

TEST_F(ConversationTest, AgreementRefusedClosesAndStays)
{
    HandleSocketEvent(SocketConnect);
    Read("Enter password:");
    ClearRecord();
    Recorder.agreementAnswers = {false};
    Read("Terms");
    EXPECT_EQ(Recorder.closeKeepHandleCalls, 1);
    EXPECT_EQ(Recorder.LogTexts(), Texts{"Agreement not accepted closing connection.."});
    EXPECT_TRUE(Recorder.sent.empty());
    EXPECT_TRUE(Recorder.titles.empty());
    EXPECT_EQ(Recorder.enableConnectButtonCalls, 0);
    EXPECT_EQ(ProtocolState, Agreement);

    // The next connection starts in Command again.
    HandleSocketEvent(SocketConnect);
    EXPECT_EQ(ProtocolState, Command);
}

TEST_F(ConversationTest, AgreementTextSurvivesAReadDuringTheBox)
{
    // The box's message loop handles another read, which overwrites ReceiveBuffer.
    std::vector<std::string> seenAfter;
    int depth = 0;
    Recorder.agreementHook = [&](const char* text) {
        if (depth++ == 0) {
            Read("second read");
            seenAfter.push_back(text);
        }
        return true;
    };
    ProtocolState = Agreement;
    Read("first agreement");
    EXPECT_EQ(Recorder.agreementTexts, (Texts{"first agreement", "second read"}));
    EXPECT_EQ(seenAfter, Texts{"first agreement"});
    EXPECT_EQ(Recorder.SentTexts(), (Texts{"ls", "ls"}));  // each box's answer acted on
    EXPECT_EQ(ProtocolState, Command);
}

TEST_F(ConversationTest, DirectoryReplyIsLogged)
{
    Read("a#b<12");
    EXPECT_EQ(Recorder.LogTexts(), Texts{"CD Directory to b<12"});
    EXPECT_EQ(ProtocolState, Command);
    EXPECT_TRUE(Recorder.progressRanges.empty()) << "not a file header";
}

TEST_F(ConversationTest, ServerNoticeIsLoggedLiterally)
{
    Read("50%{done %s %n");
    ASSERT_EQ(Recorder.log.size(), 1u);
    EXPECT_EQ(Recorder.log[0].text, "50%{done %s %n");
    EXPECT_STREQ(Recorder.log[0].format, "%s");
    EXPECT_EQ(ProtocolState, Command);
}

TEST_F(ConversationTest, TextWithoutMarkerIsIgnored)
{
    Read("hello");
    EXPECT_EQ(Recorder.calls, (Texts{"HideConnectWindow()", "SocketReceive(256)"}));
    EXPECT_EQ(ProtocolState, Command);
}

TEST_F(ConversationTest, EveryReadNotificationHidesTheConnectWindow)
{
    Read("hello");
    Read("hello");
    Recorder.ArriveResult(-1);
    HandleSocketEvent(SocketRead);
    EXPECT_EQ(Recorder.hideConnectWindowCalls, 3);
}

TEST_F(ConversationTest, ReadWithoutDataChangesNothing)
{
    for (int32_t state : {Command, Agreement, Listing, Download}) {
        for (int result : {0, -1}) {
            SCOPED_TRACE(testing::Message() << "state " << state << " result " << result);
            ResetRecorder();
            ResetConversation();
            SavePath = Path("partial.bin");
            ProtocolState = Command;
            if (state == Download) {
                Read("f<1000");
                Read(std::string(256, 'd'));
            } else if (state == Listing) {
                Read("Listing:100");
            } else if (state == Agreement) {
                ProtocolState = Agreement;
            }
            ClearRecord();
            const uint32_t doneBefore = BytesDone;
            const std::string listingBefore = ListingText;

            Recorder.ArriveResult(result);
            HandleSocketEvent(SocketRead);
            EXPECT_EQ(Recorder.calls, (Texts{"HideConnectWindow()", "SocketReceive(256)"}));
            EXPECT_TRUE(Recorder.receives.empty()) << "read once, no loop";
            EXPECT_EQ(ProtocolState, state);
            EXPECT_EQ(BytesDone, doneBefore);
            EXPECT_EQ(ListingText, listingBefore);
            if (state == Download) {
                CloseOutputFile();
                EXPECT_EQ(FileBytes(Path("partial.bin")), std::string(256, 'd'));
            }
        }
    }
}

TEST_F(ConversationTest, ServerCloseResetsTheListAndNothingElse)
{
    SavePath = Path("f.bin");
    LogIn();
    Read("f<1000");
    Read(std::string(256, 'd'));
    ClearRecord();
    HandleSocketEvent(SocketClose);
    EXPECT_EQ(Recorder.calls, (Texts{"FileListEnable(0)", "EnableConnectButton()", "FileListReset()",
                                     "ProgressSetPos(0)"}));
    EXPECT_EQ(ProtocolState, Download);
    EXPECT_TRUE(OutputIsOpen());
}

TEST_F(ConversationTest, WholeConversation)
{
    Recorder.password = "qvk";
    Recorder.savePath = Path("notes.txt");
    HandleSocketEvent(SocketConnect);
    Read("Enter password:");
    Read("Welcome. Be nice.");
    Read("Listing:17");
    Read("[docs]\nnotes.txt\n");
    EXPECT_EQ(Recorder.listEntries, (Texts{"..", "[docs]", "notes.txt"}));

    Recorder.listHasSelection = true;
    Recorder.listSelection = "[docs]";
    OnFileListDoubleClick();
    Read("CD#/docs");
    Read("Listing:4");
    Read("a.txt");  // five bytes where four were announced: shown all the same
    EXPECT_EQ(Recorder.listEntries, (Texts{"..", "a.txt"}));

    Recorder.listSelection = "a.txt";
    OnFileListDoubleClick();
    Read("a.txt<5");
    Read("hello");
    Read("@");
    Read("50%{done");
    Read("hello");

    EXPECT_EQ(Recorder.SentTexts(), (Texts{"velto", "qvk", "ls", "cd docs", "ls", "get a.txt"}));
    for (const std::string& block : Recorder.sent)
        EXPECT_EQ(block.size(), CommandBlockSize);
    EXPECT_EQ(Recorder.LogTexts(), (Texts{
                                        "Succesfully Connected Sending Handshake",
                                        "Sending password info...",
                                        "Accepted Agreement Listing Directory.",
                                        "Listing Directory of Length of 17",
                                        "CD Directory to /docs",
                                        "Listing Directory of Length of 4",
                                        "Creating file a.txt of size 5",
                                        "File " + Path("notes.txt") + " successfully transfered!.",
                                        "50%{done",
                                    }));
    EXPECT_EQ(FileBytes(Path("notes.txt")), "hello");
    EXPECT_EQ(ProtocolState, Command);
    EXPECT_TRUE(Recorder.listEnabled);
}

TEST_F(ConversationTest, EveryLogLineUsesOneOfTheProgramsFormats)
{
    // Server texts full of directives go through every kind of line.
    const std::set<std::string> formats = {
        "Succesfully Connected Sending Handshake", "Sending password info...",
        "Accepted Agreement Listing Directory.",   "Listing Directory of Length of %d",
        "CD Directory to %s",                      "Creating file %s of size %d",
        "Error couldnt create file %s",            "File %s successfully transfered!.",
        "File %s was not transfered!.",            "%s",
        "Error couldnt write file %s",
        "Name too long, command not sent: %s",
    };
    Recorder.savePath = Path("%s%n.bin");
    LogIn();
    Read("%s#%n%s");
    RequestDownload("%s%n.bin");
    Read("%s%n<5");
    Read("%n%s%");
    Read("@%s%n");
    Read("%s{%n");
    Recorder.savePath = Path("missing/%s%n");
    RequestDownload("%x");
    Read("%x<0");
    Read("@");
    Read("%n%s:3");
    Read("[%s%n]\n%x");
    RequestDownload(std::string(300, '%'));
    ASSERT_EQ(Recorder.log.size(), 12u);
    for (const RecordedLogLine& line : Recorder.log)
        EXPECT_EQ(formats.count(line.format), 1u) << line.format;
    const Texts texts = Recorder.LogTexts();
    EXPECT_EQ(texts[3], "CD Directory to %n%s");
    EXPECT_EQ(texts[4], "Creating file %s%n of size 5");
    EXPECT_EQ(texts[5], "File " + Path("%s%n.bin") + " successfully transfered!.");
    EXPECT_EQ(texts[6], "%s{%n");
    EXPECT_EQ(texts[8], "Error couldnt create file " + Path("missing/%s%n"));
    EXPECT_EQ(texts[11], "Name too long, command not sent: get " + std::string(300, '%'));
    EXPECT_EQ(FileBytes(Path("%s%n.bin")), "%n%s%");
}
