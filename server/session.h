// One client's conversation, without any networking: bytes in, items to send out.
// The transport feeds it whatever the socket delivers and sends the items in order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "fs_view.h"

namespace zurod {

struct SessionConfig {
  std::string password = "qvk";
  std::string agreement;  // at most 255 bytes, shown by the client as it stands
};

struct Output {
  enum class Kind {
    bytes,  // send `data` as it stands (a 256-byte block or listing text)
    file,   // send `size` bytes of `file` from its start
    close,  // close the connection; nothing follows
  };
  Kind kind = Kind::bytes;
  std::string data;
  UniqueFd file;
  std::uint64_t size = 0;
};

class Session {
 public:
  using Logger = std::function<void(const std::string&)>;

  // Directories with more entries are not listed, which bounds a listing's memory.
  static constexpr std::size_t kMaxListingEntries = 100000;

  Session(const SessionConfig& config, FsView& fs, Logger log);

  // Takes bytes in any pieces; each complete 256-byte block is one command.
  std::vector<Output> feed(std::string_view bytes);

  bool closed() const { return state_ == State::closed; }
  // Past the handshake and the password.
  bool logged_in() const { return state_ == State::commands; }
  // The current directory below the root, one name per level.
  const std::vector<std::string>& directory() const { return directory_; }

 private:
  enum class State { handshake, password, commands, closed };

  void handle_block(std::string_view text, std::vector<Output>& out);
  void handle_command(const std::string& command, std::vector<Output>& out);
  void change_directory(const std::string& name, std::vector<Output>& out);
  void list_directory(std::vector<Output>& out);
  void send_file(const std::string& name, std::vector<Output>& out);
  void close(std::vector<Output>& out);
  std::string current_path() const;

  const SessionConfig& config_;
  FsView& fs_;
  Logger log_;
  State state_ = State::handshake;
  std::string partial_;  // the start of a block whose rest has not arrived yet
  std::vector<std::string> directory_;
};

}  // namespace zurod
