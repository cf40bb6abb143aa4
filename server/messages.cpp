#include "messages.h"

#include <algorithm>

namespace zurod {

std::string make_block(std::string_view text) {
  std::string block(text.substr(0, kMaxText));
  block.resize(kBlockSize, '\0');
  return block;
}

std::string neutralize(std::string_view text, std::string_view forbidden) {
  std::string out(text);
  for (char& c : out) {
    if (forbidden.find(c) != std::string_view::npos) c = '_';
  }
  const std::string_view prompt_marker = "password:";
  for (auto pos = out.find(prompt_marker); pos != std::string::npos;
       pos = out.find(prompt_marker, pos + 1)) {
    out[pos + prompt_marker.size() - 1] = '_';
  }
  return out;
}

std::string password_prompt() { return make_block("ZUrod server ready. Enter password:"); }

std::string directory_reply(const std::vector<std::string>& path) {
  std::string shown;
  for (const auto& component : path) shown += "/" + component;
  if (shown.empty()) shown = "/";
  shown = neutralize(shown, "");
  const std::size_t room = kMaxText - 1;  // after the "#"
  if (shown.size() > room) shown = "..." + shown.substr(shown.size() - (room - 3));
  return make_block("#" + shown);
}

std::string listing_header(std::size_t length) {
  return make_block("Listing length:" + std::to_string(length));
}

std::string file_header(std::string_view name, std::uint64_t size) {
  const std::string tail = "<" + std::to_string(size);
  std::string shown = neutralize(name, "#<");
  // The name is only shown in the client's log, so a long one may lose its end.
  shown.resize(std::min(shown.size(), kMaxText - tail.size()));
  return make_block(shown + tail);
}

std::string completion_notice() { return make_block("@transfer complete"); }

std::string notice(std::string_view text) {
  std::string shown = neutralize(text, "#<:@");
  shown.resize(std::min(shown.size(), kMaxText - 2));
  return make_block("{" + shown + "}");
}

std::string format_listing(std::vector<DirEntry> entries,
                           const std::function<void(const DirEntry&, const char* why)>& left_out) {
  std::sort(entries.begin(), entries.end(),
            [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  std::string text;
  for (const auto& entry : entries) {
    if (entry.name.find('\n') != std::string::npos) {
      left_out(entry, "name contains a line break");
    } else if (entry.kind == EntryKind::directory) {
      // "[" name "]": the client takes the name from after the first "[" up to the last
      // "]", so any brackets inside the name survive.
      text += "[" + entry.name + "]\n";
    } else if (entry.kind != EntryKind::file) {
      left_out(entry, "neither a regular file nor a directory inside the root");
    } else if (entry.name.find('[') != std::string::npos) {
      left_out(entry, "file name with '[' would be taken for a directory");
    } else if (entry.name.find("..") != std::string::npos) {
      left_out(entry, "file name with '..' would be taken for the parent directory");
    } else {
      text += entry.name + "\n";
    }
  }
  return text;
}

}  // namespace zurod
