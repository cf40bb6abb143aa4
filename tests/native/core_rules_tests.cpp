// The plain rules: command blocks, a read's text, markers, numbers, listing entries,
// the status panel's line and the connect window's checks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/panel_text.h"
#include "client/listing.h"
#include "client/protocol.h"
#include "connect/connect_checks.h"

TEST(CommandBlock, TextThenZerosUpToTheLastByte)
{
    for (std::size_t length : {0u, 2u, 254u, 255u}) {
        SCOPED_TRACE(length);
        std::string text(length, 'n');
        CommandBlock block;
        std::memset(block.bytes, 0x55, sizeof block.bytes);
        ASSERT_TRUE(BuildCommandBlock(text, block));
        EXPECT_EQ(std::string(block.bytes, length), text);
        for (std::size_t i = length; i < CommandBlockSize; ++i)
            ASSERT_EQ(block.bytes[i], '\0') << "byte " << i;
    }
}

TEST(CommandBlock, TooLongTextIsRefusedNotCut)
{
    for (std::size_t length : {256u, 300u}) {
        CommandBlock block;
        std::memset(block.bytes, 0x55, sizeof block.bytes);
        EXPECT_FALSE(BuildCommandBlock(std::string(length, 'n'), block));
        EXPECT_EQ(std::string(block.bytes, sizeof block.bytes), std::string(CommandBlockSize, '\0'));
    }
}

TEST(ReadText, EndsAtTheFirstNulOrTakesAllBytes)
{
    const char withNul[] = {'a', 'b', 'c', '\0', 'd', 'e'};
    EXPECT_EQ(ReadText(withNul, sizeof withNul), "abc");
    const char noNul[] = {'x', 'y', 'z'};  // not terminated: all three bytes and no more
    EXPECT_EQ(ReadText(noNul, sizeof noNul), "xyz");
    const char leadingNul[] = {'\0', 'q'};
    EXPECT_EQ(ReadText(leadingNul, sizeof leadingNul), "");
    std::string full(256, 'f');
    EXPECT_EQ(ReadText(full.data(), full.size()), full);
}

TEST(ClassifyReply, FirstMarkerInTableOrderDecides)
{
    const struct {
        const char* text;
        ReplyKind kind;
    } cases[] = {
        {"Enter password:", ReplyKind::PasswordPrompt},
        {"password:#<:@{", ReplyKind::PasswordPrompt},
        {"Password:", ReplyKind::ListingHeader},  // case-sensitive
        {"a#b<12", ReplyKind::DirectoryReply},
        {"#", ReplyKind::DirectoryReply},
        {"notes.txt<  42 bytes", ReplyKind::FileHeader},
        {"a:b<c", ReplyKind::FileHeader},
        {"Listing:dir:120", ReplyKind::ListingHeader},
        {"x{y@z", ReplyKind::CompletionNotice},
        {"@", ReplyKind::CompletionNotice},
        {"50%{done", ReplyKind::ServerNotice},
        {"hello", ReplyKind::None},
        {"", ReplyKind::None},
        {"passwordx", ReplyKind::None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClassifyReply(c.text), c.kind) << c.text;
}

TEST(ParseDecimal, WhiteSpaceSignDigitsWrapping)
{
    const struct {
        const char* text;
        uint32_t value;
    } cases[] = {
        {"42", 42u},
        {"  42 bytes", 42u},
        {"\t\n\v\f\r 7", 7u},
        {"+7", 7u},
        {"007", 7u},
        {"12abc34", 12u},
        {"-1", 4294967295u},
        {"-5", 4294967291u},
        {"", 0u},
        {"x", 0u},
        {"-", 0u},
        {"- 5", 0u},
        {"+-5", 0u},
        {"2147483648", 2147483648u},
        {"3221225472", 3221225472u},
        {"4294967295", 4294967295u},
        {"4294967296", 0u},
        {"4294967297", 1u},
        {"99999999999", 1215752191u},  // 99999999999 mod 2^32
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseDecimal(c.text), c.value) << '"' << c.text << '"';
}

TEST(ReplyParts, DirectoryFileHeaderAndListingLength)
{
    EXPECT_EQ(DirectoryOfReply("a#b<12"), "b<12");
    EXPECT_EQ(DirectoryOfReply("CD#/pub/x#y"), "/pub/x#y");
    EXPECT_EQ(DirectoryOfReply("#"), "");

    const struct {
        const char* text;
        const char* name;
        uint32_t size;
    } headers[] = {
        {"notes.txt<  42 bytes", "notes.txt", 42u},
        {"notes.txt<x", "notes.txt", 0u},
        {"<5", "", 5u},
        {"a<b<7", "a", 0u},
        {"my file.txt<1000", "my file.txt", 1000u},
        {"big.iso<3221225472", "big.iso", 3221225472u},
    };
    for (const auto& h : headers) {
        FileHeader header = ParseFileHeader(h.text);
        EXPECT_EQ(header.name, h.name) << h.text;
        EXPECT_EQ(header.size, h.size) << h.text;
    }

    EXPECT_EQ(ParseListingLength("Listing:dir:120"), 120u);
    EXPECT_EQ(ParseListingLength("Password:"), 0u);
    EXPECT_EQ(ParseListingLength("len:12:"), 0u);
    EXPECT_EQ(ParseListingLength("len: -1"), 4294967295u);
}

TEST(SplitString, PiecesBetweenDelimiters)
{
    const struct {
        std::string text;
        std::string delimiter;
        std::vector<std::string> pieces;
    } cases[] = {
        {"a\nb\n", "\n", {"a", "b"}},
        {"a\n\nb", "\n", {"a", "", "b"}},
        {"\nx", "\n", {"", "x"}},
        {"\n", "\n", {""}},
        {"a\n\n", "\n", {"a", ""}},
        {"", "\n", {}},
        {"abc", "\n", {"abc"}},
        {"a\r\nb\r\n", "\n", {"a\r", "b\r"}},
        {std::string("a\nb\0c\nd", 7), "\n", {"a", "b"}},  // the text ends at its NUL
        {"x, y, z", ", ", {"x", "y", "z"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> list;
        EXPECT_EQ(SplitString(c.text, c.delimiter, list), c.pieces.size());
        EXPECT_EQ(list, c.pieces);
    }
}

TEST(SplitString, AppendsToTheListAndCountsAll)
{
    std::vector<std::string> list{"old"};
    EXPECT_EQ(SplitString("a\nb", "\n", list), 3u);
    EXPECT_EQ(list, (std::vector<std::string>{"old", "a", "b"}));
}

TEST(Entries, KindAndDirectoryName)
{
    const struct {
        const char* entry;
        EntryKind kind;
        const char* name;  // for directories
    } cases[] = {
        {"[docs]", EntryKind::Directory, "docs"},
        {"[my files]", EntryKind::Directory, "my files"},
        {"x[docs]", EntryKind::Directory, "docs]"},
        {"[docs", EntryKind::Directory, "docs"},
        {"song[1].mp3", EntryKind::Directory, "1].mp"},
        {"]x[a", EntryKind::Directory, "a"},  // last "]" at position 0: to the end
        {"[a..b]", EntryKind::Directory, "a..b"},
        {"[]", EntryKind::Directory, ""},
        {"..", EntryKind::Parent, ""},
        {"archive..old.zip", EntryKind::Parent, ""},
        {"notes.txt", EntryKind::File, ""},
        {"readme]", EntryKind::File, ""},
        {"", EntryKind::File, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClassifyEntry(c.entry), c.kind) << c.entry;
        if (c.kind == EntryKind::Directory) {
            EXPECT_EQ(DirectoryNameOfEntry(c.entry), c.name) << c.entry;
        }
    }
}

TEST(PanelText, CountsAndTruncatedPercentage)
{
    const struct {
        uint32_t done, total;
        const char* text;
    } cases[] = {
        {0, 1000, "Bytes Completed: 0/1000 (0%)"},
        {999, 1000, "Bytes Completed: 999/1000 (99%)"},
        {29, 100, "Bytes Completed: 29/100 (28%)"},
        {57, 100, "Bytes Completed: 57/100 (56%)"},
        {1, 3, "Bytes Completed: 1/3 (33%)"},
        {2, 3, "Bytes Completed: 2/3 (66%)"},
        {1000, 1000, "Bytes Completed: 1000/1000 (100%)"},
        {1200, 1000, "Bytes Completed: 1200/1000 (100%)"},
        {3221225472u, 4294967295u, "Bytes Completed: 3221225472/4294967295 (75%)"},
        {4294967295u, 3221225472u, "Bytes Completed: 4294967295/3221225472 (100%)"},
    };
    for (const auto& c : cases) {
        std::string text = "stale";
        EXPECT_TRUE(PanelText(c.done, c.total, text));
        EXPECT_EQ(text, c.text);
    }
}

TEST(PanelText, NoTextWithoutAnnouncedSize)
{
    for (uint32_t done : {0u, 5u, 4294967295u}) {
        std::string text = "stale";
        EXPECT_FALSE(PanelText(done, 0, text));
        EXPECT_EQ(text, "");
    }
}

TEST(ConnectChecks, AddressAsInetAddrAcceptsIt)
{
    const struct {
        const char* text;
        bool valid;
    } cases[] = {
        {"127.0.0.1", true},
        {"127.1", true},
        {"0x7f.1", true},
        {"0177.0.0.1", true},
        {"0.0.0.0", true},
        {"", false},
        {"255.255.255.255", false},  // INADDR_NONE itself
        {"abc", false},
        {"1.2.3.256", false},
        {"192.168.1.", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsValidAddress(c.text), c.valid) << '"' << c.text << '"';
}

TEST(ConnectChecks, PortAsAtoiReadsIt)
{
    const struct {
        const char* text;
        int32_t port;
    } cases[] = {
        {"1024", 1024}, {"0", 0},   {"", 0},           {"abc", 0},    {"80abc", 80},
        {" 21", 21},    {"-5", -5}, {"65536", 65536},  {"+8", 8},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PortFromText(c.text), c.port) << '"' << c.text << '"';
}
