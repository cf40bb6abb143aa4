// The command line of zurod-server.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zurod {

struct Options {
  std::string root;
  std::string bind_address = "127.0.0.1";
  unsigned short port = 1024;  // 0: an ephemeral port, shown in the first log line
  std::string password = "qvk";
  std::string agreement_file;  // empty: the built-in agreement
  unsigned max_clients = 32;
  unsigned idle_timeout_seconds = 300;
  bool help = false;
};

struct ParsedOptions {
  std::optional<Options> options;
  std::string error;  // set when options is empty
};

ParsedOptions parse_options(const std::vector<std::string>& args);

std::string usage_text();

// The agreement text from the file, or the built-in one for an empty path.
// Throws std::runtime_error when the file can't be used.
std::string load_agreement(const std::string& path);

}  // namespace zurod
