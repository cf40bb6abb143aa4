// The server's side of the wire format. The client reads 256 bytes at a time and tells
// a message by the first of these markers its text contains, in this order:
// "password:", "#", "<", ":", "@", "{". Every text message therefore goes out as one
// NUL-padded 256-byte block, and a message must not contain a marker that comes
// before its own (a notice with a ":" would be read as a listing header).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "fs_view.h"

namespace zurod {

constexpr std::size_t kBlockSize = 256;
constexpr std::size_t kMaxText = kBlockSize - 1;  // room for at least one NUL

// The text cut to kMaxText bytes, padded with NULs to kBlockSize.
std::string make_block(std::string_view text);

// The text with every character of `forbidden` and the ':' of any "password:" replaced by '_'.
std::string neutralize(std::string_view text, std::string_view forbidden);

std::string password_prompt();
// "#/" for the root, "#/docs/old" below it; a path too long for a block keeps its tail.
std::string directory_reply(const std::vector<std::string>& path);
std::string listing_header(std::size_t length);
std::string file_header(std::string_view name, std::uint64_t size);
std::string completion_notice();
// "{" + text + "}", with the text made safe to show.
std::string notice(std::string_view text);

// One line per entry, sorted by name: "[name]\n" for directories, "name\n" for files.
// Entries the client would misread are left out and reported to `left_out`.
std::string format_listing(std::vector<DirEntry> entries,
                           const std::function<void(const DirEntry&, const char* why)>& left_out);

}  // namespace zurod
