// The wire format's rules: command blocks, markers, numbers, a read's text.
#include "client/protocol.h"

#include <cstring>

bool BuildCommandBlock(const std::string& text, CommandBlock& block)
{
    std::memset(block.bytes, 0, sizeof block.bytes);
    if (text.size() > MaxCommandText)
        return false;
    std::memcpy(block.bytes, text.data(), text.size());
    return true;
}

std::string ReadText(const char* bytes, std::size_t count)
{
    const void* nul = std::memchr(bytes, 0, count);
    std::size_t length = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - bytes) : count;
    return std::string(bytes, length);
}

ReplyKind ClassifyReply(const std::string& text)
{
    // The order decides: a prompt "Enter password:" also holds ":", a header "a#b<12" also "<".
    static const struct {
        const char* marker;
        ReplyKind kind;
    } markers[] = {
        {"password:", ReplyKind::PasswordPrompt}, {"#", ReplyKind::DirectoryReply},
        {"<", ReplyKind::FileHeader},             {":", ReplyKind::ListingHeader},
        {"@", ReplyKind::CompletionNotice},       {"{", ReplyKind::ServerNotice},
    };
    for (const auto& m : markers) {
        if (text.find(m.marker) != std::string::npos)
            return m.kind;
    }
    return ReplyKind::None;
}

uint32_t ParseDecimal(const char* text)
{
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    uint32_t value = 0;  // wraps modulo 2^32, as the server's sizes are read
    while (*p >= '0' && *p <= '9') {
        value = value * 10u + static_cast<uint32_t>(*p - '0');
        ++p;
    }
    return negative ? 0u - value : value;
}

std::string DirectoryOfReply(const std::string& text)
{
    std::size_t hash = text.find('#');
    if (hash == std::string::npos)
        return std::string();
    return text.substr(hash + 1);
}

FileHeader ParseFileHeader(const std::string& text)
{
    FileHeader header;
    std::size_t lt = text.find('<');
    if (lt == std::string::npos) {
        header.name = text;
        header.size = 0;
        return header;
    }
    header.name = text.substr(0, lt);
    header.size = ParseDecimal(text.c_str() + lt + 1);
    return header;
}

uint32_t ParseListingLength(const std::string& text)
{
    std::size_t colon = text.rfind(':');
    if (colon == std::string::npos)
        return 0;
    return ParseDecimal(text.c_str() + colon + 1);
}
