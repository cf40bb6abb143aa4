// Helpers for the server tests: a scratch directory tree, the server as a child process
// with its log collected, and a raw loopback client speaking 256-byte blocks.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>

namespace zurod_test {

// A fresh directory under /tmp, removed with everything in it at the end.
class TempTree {
 public:
  TempTree();
  ~TempTree();
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& rel) const { return path_ / rel; }
  void write(const std::string& rel, const std::string& content) const;
  void mkdir(const std::string& rel) const;
  void symlink(const std::string& target, const std::string& rel) const;

 private:
  std::filesystem::path path_;
};

// What the client would take a server message for: the first of its markers, in the
// client's order, that the text contains ("password:", "#", "<", ":", "@", "{"), or "".
std::string first_marker(const std::string& text);

// The text of a block: its bytes up to the first NUL.
std::string block_text(const std::string& block);

// 64-bit FNV-1a, fed piece by piece.
class Fnv1a {
 public:
  void add(const char* data, std::size_t n);
  std::uint64_t value() const { return hash_; }

 private:
  std::uint64_t hash_ = 1469598103934665603ull;
};

struct ExitResult {
  int exit_code = -1;  // -1 if it did not exit by itself
  std::string output;  // stdout and stderr together
};

// Runs zurod-server with the arguments and waits (at most 10 s) for it to end.
ExitResult run_server_to_exit(const std::vector<std::string>& args);

// zurod-server on an ephemeral loopback port for the life of the object.
class ServerProcess {
 public:
  explicit ServerProcess(std::vector<std::string> args);  // --port 0 and --bind are added
  ~ServerProcess();

  unsigned short port() const { return port_; }
  // True once a log line containing `needle` has appeared (waits up to 5 s).
  bool wait_for_log(const std::string& needle);
  std::string log() const;
  // SIGTERM, then the exit code (-1 if it had to be killed).
  int stop();

 private:
  void collect_output(int fd);

  pid_t pid_ = -1;
  unsigned short port_ = 0;
  std::thread reader_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::string log_;
  bool output_closed_ = false;
};

// A blocking client on 127.0.0.1 whose reads give up after 5 s.
class RawClient {
 public:
  explicit RawClient(unsigned short port);
  ~RawClient();
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  // Later sends go out in pieces of this many bytes, each its own send call.
  void set_piece_size(std::size_t bytes) { piece_size_ = bytes; }
  void send_raw(const std::string& bytes);
  // The text padded with NULs to 256 bytes, sent whole.
  void send_block(const std::string& text);
  // Exactly n bytes, or fewer if the connection ends or stalls.
  std::string read_exact(std::size_t n);
  // One 256-byte message; its text.
  std::string read_block_text();
  // True if the server closes the connection (instead of sending or stalling).
  bool closed_by_server();

  // Handshake and password; returns the agreement text.
  std::string login(const std::string& password = "qvk");
  // "ls": the listing text after checking the header's length against it.
  std::string list();
  struct Download {
    std::string header;
    std::uint64_t size = 0;
    std::uint64_t hash = 0;
    std::string data;  // kept only for files up to 1 MiB
    std::string completion;
  };
  // "get NAME" answered by a file header; the data arrives hashed.
  Download get(const std::string& name);

 private:
  int fd_ = -1;
  std::size_t piece_size_ = 1 << 20;
};

}  // namespace zurod_test
