// The listing and the double-clicks on its entries.
#include "core_fixture.h"

using Texts = std::vector<std::string>;

class BrowseTest : public ConversationTest {
protected:
    void DoubleClick(const std::string& entry)
    {
        Recorder.listHasSelection = true;
        Recorder.listSelection = entry;
        OnFileListDoubleClick();
    }
};

TEST_F(BrowseTest, ListingHeaderStartsAFreshListing)
{
    LogIn();
    Read("Listing:3");
    Read("old");
    DoubleClick("..");  // the listing state lasts until then
    ClearRecord();
    BytesDone = 77;
    Read("Listing:dir:120");
    EXPECT_EQ(Recorder.LogTexts(), Texts{"Listing Directory of Length of 120"});
    EXPECT_EQ(ListingLength, 120u);
    EXPECT_EQ(BytesDone, 0u);
    EXPECT_EQ(ListingText, "");
    EXPECT_EQ(ProtocolState, Listing);
    EXPECT_EQ(Recorder.listResets, 0) << "the old entries stay until the new list is shown";
}

TEST_F(BrowseTest, ListingInThreeReadsShownOnceThenRebuiltByAFourth)
{
    LogIn();
    Read("Listing:20");
    ClearRecord();
    Read("[docs]\nb.t");  // 10
    Read("xt\n\nc.t");    // 7
    EXPECT_EQ(Recorder.listResets, 0);
    Read("xt\n");         // 3: 20 reached
    EXPECT_EQ(Recorder.listResets, 1);
    EXPECT_EQ(Recorder.listEntries, (Texts{"..", "[docs]", "b.txt", "", "c.txt"}));
    EXPECT_TRUE(Recorder.listEnabled);
    EXPECT_EQ(ProtocolState, Listing);

    // A notice now is listing text, not a log line.
    Read("news{today");
    EXPECT_EQ(Recorder.listResets, 2);
    EXPECT_EQ(Recorder.listEntries, (Texts{"..", "[docs]", "b.txt", "", "c.txt", "news{today"}));
    EXPECT_TRUE(Recorder.log.empty());
    EXPECT_EQ(ProtocolState, Listing);
}

TEST_F(BrowseTest, ShownListEntries)
{
    const struct {
        std::string text;
        Texts entries;
    } cases[] = {
        {"a\nb\n", {"..", "a", "b"}},
        {"a\n\nb", {"..", "a", "", "b"}},
        {"\nx", {"..", "", "x"}},
        {"[up]\r\nf\r\n", {"..", "[up]\r", "f\r"}},
    };
    for (const auto& c : cases) {
        ResetRecorder();
        ProtocolState = Command;
        Read("Listing:" + std::to_string(c.text.size()));
        Read(c.text);
        EXPECT_EQ(Recorder.calls[Recorder.calls.size() - c.entries.size() - 2], "FileListReset()");
        EXPECT_EQ(Recorder.calls[Recorder.calls.size() - c.entries.size() - 1], "FileListEnable(1)");
        EXPECT_EQ(Recorder.listEntries, c.entries);
    }
}

TEST_F(BrowseTest, CountIsTheWholeReadTextStopsAtNul)
{
    Read("Listing:8");
    Read(std::string("ab\0\0", 4));
    EXPECT_EQ(BytesDone, 4u);
    EXPECT_EQ(ListingText, "ab");
    EXPECT_EQ(Recorder.listResets, 0);
    Read(std::string("\ncd\0", 4));
    EXPECT_EQ(Recorder.listEntries, (Texts{"..", "ab", "cd"}));
}

TEST_F(BrowseTest, LengthNeverReachedNeverShown)
{
    for (const char* header : {"Listing:1000", "Listing:-1"}) {
        ResetRecorder();
        ProtocolState = Command;
        Read(header);
        for (int i = 0; i < 5; ++i)
            Read(std::string(100, 'x'));
        EXPECT_EQ(Recorder.listResets, 0) << header;
        EXPECT_EQ(ProtocolState, Listing);
    }
}

TEST_F(BrowseTest, DoubleClickOnDirectoryOrParentChangesDirectory)
{
    const struct {
        const char* entry;
        Texts sent;
    } cases[] = {
        {"[docs]", {"cd docs", "ls"}},
        {"[my files]", {"cd my files", "ls"}},
        {"x[docs]", {"cd docs]", "ls"}},
        {"[docs", {"cd docs", "ls"}},
        {"song[1].mp3", {"cd 1].mp", "ls"}},
        {"..", {"cd ..", "ls"}},
        {"archive..old.zip", {"cd ..", "ls"}},
    };
    for (const auto& c : cases) {
        ResetRecorder();
        ProtocolState = Listing;
        DoubleClick(c.entry);
        EXPECT_EQ(Recorder.SentTexts(), c.sent) << c.entry;
        EXPECT_EQ(ProtocolState, Command) << c.entry;
        EXPECT_TRUE(Recorder.saveInitialNames.empty());
        EXPECT_TRUE(Recorder.log.empty());
    }
}

TEST_F(BrowseTest, DoubleClickWithNothingSelectedDoesNothing)
{
    ProtocolState = Listing;
    Recorder.listHasSelection = false;
    OnFileListDoubleClick();
    EXPECT_EQ(Recorder.calls, Texts{"FileListSelectedText()"});
    EXPECT_EQ(ProtocolState, Listing);
}

TEST_F(BrowseTest, DirectoryNameTooLongForTheCommandIsNotSent)
{
    // "cd " and 252 characters fill a block; one more does not fit.
    const std::string fits(252, 'd');
    ProtocolState = Listing;
    DoubleClick("[" + fits + "]");
    EXPECT_EQ(Recorder.SentTexts(), (Texts{"cd " + fits, "ls"}));
    EXPECT_TRUE(Recorder.log.empty());

    for (std::size_t length : {253u, 400u}) {
        ResetRecorder();
        ProtocolState = Listing;
        const std::string name(length, 'd');
        DoubleClick("[" + name + "]");
        EXPECT_TRUE(Recorder.sent.empty()) << "neither the cut name nor \"ls\"";
        EXPECT_EQ(Recorder.LogTexts(), Texts{"Name too long, command not sent: cd " + name});
        EXPECT_EQ(ProtocolState, Listing);
    }
}

TEST_F(BrowseTest, DoubleClickOnFileAsksWhereAndSendsGet)
{
    for (const char* entry : {"notes.txt", "my file.txt", ""}) {
        ResetRecorder();
        ProtocolState = Listing;
        Recorder.savePath = Path("chosen.bin");
        DoubleClick(entry);
        EXPECT_EQ(Recorder.saveInitialNames, Texts{entry});
        EXPECT_EQ(Recorder.SentTexts(), Texts{std::string("get ") + entry});
        EXPECT_EQ(SavePath, Path("chosen.bin"));
        EXPECT_EQ(ProtocolState, Command);
    }
}

TEST_F(BrowseTest, CancelledSaveDialogSendsNothing)
{
    RequestDownload("first.txt");  // SavePath from an earlier download
    ResetRecorder();
    ProtocolState = Listing;
    Recorder.saveConfirmed = false;
    Recorder.savePath = Path("other.bin");
    DoubleClick("notes.txt");
    EXPECT_EQ(Recorder.saveInitialNames, Texts{"notes.txt"});
    EXPECT_TRUE(Recorder.sent.empty());
    EXPECT_EQ(ProtocolState, Listing);
    EXPECT_EQ(SavePath, Path("saved.bin"));
}

TEST_F(BrowseTest, FileNameTooLongForTheCommandNeverReachesTheDialog)
{
    // "get " and 251 characters fill a block.
    const std::string fits(251, 'f');
    DoubleClick(fits);
    EXPECT_EQ(Recorder.saveInitialNames, Texts{fits});
    EXPECT_EQ(Recorder.SentTexts(), Texts{"get " + fits});

    for (std::size_t length : {252u, 259u, 260u, 1000u}) {
        ResetRecorder();
        ProtocolState = Listing;
        const std::string name(length, 'f');
        DoubleClick(name);
        EXPECT_TRUE(Recorder.saveInitialNames.empty()) << length;
        EXPECT_TRUE(Recorder.sent.empty());
        EXPECT_EQ(Recorder.LogTexts(), Texts{"Name too long, command not sent: get " + name});
        EXPECT_EQ(ProtocolState, Listing);
    }
}
