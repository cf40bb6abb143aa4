#include "session.h"

#include "messages.h"

#include <algorithm>

namespace zurod {

namespace {

constexpr std::uint64_t kMaxFileSize = 0xFFFFFFFFu;  // the client counts in 32 bits

Output bytes(std::string data) {
  Output out;
  out.data = std::move(data);
  return out;
}

// A name the client may send for an entry of the current directory: one component.
bool is_plain_name(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// For log lines: the text in quotes, control characters as \xNN so one event stays one line.
std::string quoted(std::string_view text) {
  static const char hex[] = "0123456789abcdef";
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7f || c == '"' || c == '\\') {
      out += "\\x";
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

bool starts_with(const std::string& text, std::string_view prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

Session::Session(const SessionConfig& config, FsView& fs, Logger log)
    : config_(config), fs_(fs), log_(std::move(log)) {}

std::vector<Output> Session::feed(std::string_view data) {
  std::vector<Output> out;
  while (!data.empty() && state_ != State::closed) {
    const std::size_t take = std::min(kBlockSize - partial_.size(), data.size());
    partial_.append(data.substr(0, take));
    data.remove_prefix(take);
    if (partial_.size() == kBlockSize) {
      const std::string block = std::move(partial_);
      partial_.clear();
      handle_block(std::string_view(block.c_str()), out);  // the text ends at the first NUL
    }
  }
  return out;
}

void Session::handle_block(std::string_view text, std::vector<Output>& out) {
  switch (state_) {
    case State::handshake:
      if (text != "velto") {
        log_("bad handshake " + quoted(text) + ", closing");
        close(out);
        return;
      }
      log_("handshake");
      out.push_back(bytes(password_prompt()));
      state_ = State::password;
      return;
    case State::password:
      if (text != config_.password) {
        log_("wrong password, closing");
        close(out);
        return;
      }
      log_("password accepted");
      out.push_back(bytes(make_block(config_.agreement)));
      state_ = State::commands;
      return;
    case State::commands:
      handle_command(std::string(text), out);
      return;
    case State::closed:
      return;
  }
}

void Session::handle_command(const std::string& command, std::vector<Output>& out) {
  if (command == "ls") {
    list_directory(out);
  } else if (command == "cd ..") {
    if (!directory_.empty()) directory_.pop_back();
    log_("cd .. -> " + quoted("/" + current_path()));
    out.push_back(bytes(directory_reply(directory_)));
  } else if (starts_with(command, "cd ")) {
    change_directory(command.substr(3), out);
  } else if (starts_with(command, "get ")) {
    send_file(command.substr(4), out);
  } else {
    log_("unknown command " + quoted(command));
    out.push_back(bytes(notice("unknown command")));
  }
}

void Session::change_directory(const std::string& name, std::vector<Output>& out) {
  FsStatus status = FsStatus::not_found;
  if (is_plain_name(name)) status = fs_.check_directory(child_path(current_path(), name));
  if (status != FsStatus::ok) {
    log_("cd " + quoted(name) + " refused");
    out.push_back(bytes(notice("no such directory " + name)));
    return;
  }
  directory_.push_back(name);
  log_("cd " + quoted(name) + " -> " + quoted("/" + current_path()));
  out.push_back(bytes(directory_reply(directory_)));
}

void Session::list_directory(std::vector<Output>& out) {
  Listing listing = fs_.list(current_path(), kMaxListingEntries);
  if (listing.status != FsStatus::ok) {
    log_("ls " + quoted("/" + current_path()) + " failed");
    out.push_back(bytes(notice(listing.status == FsStatus::too_many ? "directory too large to list"
                                                                    : "cannot list directory")));
    return;
  }
  std::string text = format_listing(std::move(listing.entries), [this](const DirEntry& e, const char* why) {
    log_("left out of listing: " + quoted(e.name) + " (" + why + ")");
  });
  const auto listed = std::count(text.begin(), text.end(), '\n');
  log_("ls " + quoted("/" + current_path()) + ": " + std::to_string(listed) + " listed, " +
       std::to_string(text.size()) + " bytes");
  // A client shows a listing once it has counted the announced bytes, and lists only the
  // text before a NUL: one NUL byte lets an empty directory show at once, with no entry.
  if (text.empty()) text.push_back('\0');
  out.push_back(bytes(listing_header(text.size())));
  out.push_back(bytes(std::move(text)));
}

void Session::send_file(const std::string& name, std::vector<Output>& out) {
  OpenedFile file;
  if (is_plain_name(name)) file = fs_.open_file(child_path(current_path(), name));
  else file.status = FsStatus::not_found;

  const char* refusal = nullptr;
  switch (file.status) {
    case FsStatus::ok:
      if (file.size > kMaxFileSize) refusal = "file too large (4 GiB or more)";
      break;
    case FsStatus::wrong_type: refusal = "not a regular file"; break;
    case FsStatus::denied: refusal = "cannot read file"; break;
    default: refusal = "no such file"; break;
  }
  if (refusal != nullptr) {
    log_("get " + quoted(name) + " refused: " + refusal);
    out.push_back(bytes(notice(std::string(refusal) + " " + name)));
    return;
  }
  log_("get " + quoted(name) + " (" + std::to_string(file.size) + " bytes)");
  out.push_back(bytes(file_header(name, file.size)));
  Output data;
  data.kind = Output::Kind::file;
  data.file = std::move(file.fd);
  data.size = file.size;
  out.push_back(std::move(data));
  out.push_back(bytes(completion_notice()));
}

void Session::close(std::vector<Output>& out) {
  state_ = State::closed;
  Output item;
  item.kind = Output::Kind::close;
  out.push_back(std::move(item));
}

std::string Session::current_path() const {
  std::string path;
  for (const auto& name : directory_) path = child_path(path, name);
  return path;
}

}  // namespace zurod
