// The wire format: 256-byte command blocks out, server messages recognised by markers in.
// Plain rules, no Windows header: built and tested natively too.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

constexpr std::size_t CommandBlockSize = 256;
constexpr std::size_t MaxCommandText = CommandBlockSize - 1;  // the last byte holds the NUL
constexpr std::size_t ReadSize = 256;                         // at most this much per read

struct CommandBlock {
    char bytes[CommandBlockSize];
};

// Fills block with text, its NUL and zero padding. A text longer than MaxCommandText
// would be cut (and so name something else): returns false and leaves the block all zeros.
bool BuildCommandBlock(const std::string& text, CommandBlock& block);

// A read's text: its bytes up to the first NUL, or all of them when there is none.
std::string ReadText(const char* bytes, std::size_t count);

// What a read means in the Command state, decided by the first marker found, in this order.
enum class ReplyKind {
    PasswordPrompt,    // "password:"
    DirectoryReply,    // "#"
    FileHeader,        // "<"
    ListingHeader,     // ":"
    CompletionNotice,  // "@"
    ServerNotice,      // "{"
    None,
};
ReplyKind ClassifyReply(const std::string& text);

// Decimal number as the server writes it: leading white space, one optional sign, digits;
// accumulated modulo 2^32 and negated for "-". No digits gives 0.
uint32_t ParseDecimal(const char* text);

// The directory of a directory reply: the text after the first "#".
std::string DirectoryOfReply(const std::string& text);

// A file header: the name before the first "<" and the size just after it.
struct FileHeader {
    std::string name;
    uint32_t size;
};
FileHeader ParseFileHeader(const std::string& text);

// A listing header's length: the number just after the last ":".
uint32_t ParseListingLength(const std::string& text);
