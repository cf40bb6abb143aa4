#include "server_test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zurod_test {

namespace fs = std::filesystem;

TempTree::TempTree() {
  char pattern[] = "/tmp/zurod-test-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempTree::~TempTree() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void TempTree::write(const std::string& rel, const std::string& content) const {
  std::ofstream out(path_ / rel, std::ios::binary);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) throw std::runtime_error("cannot write " + rel);
}

void TempTree::mkdir(const std::string& rel) const { fs::create_directories(path_ / rel); }

void TempTree::symlink(const std::string& target, const std::string& rel) const {
  fs::create_symlink(target, path_ / rel);
}

std::string first_marker(const std::string& text) {
  for (const char* marker : {"password:", "#", "<", ":", "@", "{"}) {
    if (text.find(marker) != std::string::npos) return marker;
  }
  return "";
}

std::string block_text(const std::string& block) { return block.substr(0, block.find('\0')); }

void Fnv1a::add(const char* data, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    hash_ ^= static_cast<unsigned char>(data[i]);
    hash_ *= 1099511628211ull;
  }
}

namespace {

// Starts the server with stdout and stderr going to a new pipe; returns its read end.
pid_t spawn_server(const std::vector<std::string>& args, int& output_fd) {
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 2);
  std::vector<std::string> all = {ZUROD_SERVER_PATH};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& arg : all) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int err = ::posix_spawn(&pid, ZUROD_SERVER_PATH, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe_fds[1]);
  if (err != 0) {
    ::close(pipe_fds[0]);
    throw std::runtime_error("cannot start " ZUROD_SERVER_PATH);
  }
  output_fd = pipe_fds[0];
  return pid;
}

// Waits up to `limit` for the child to end; its exit code, or -1 after killing it.
int reap(pid_t pid, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

ExitResult run_server_to_exit(const std::vector<std::string>& args) {
  int fd = -1;
  const pid_t pid = spawn_server(args, fd);
  ExitResult result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  char buffer[4096];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    result.output.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  result.exit_code = reap(pid, std::chrono::milliseconds(100));
  return result;
}

ServerProcess::ServerProcess(std::vector<std::string> args) {
  args.insert(args.end(), {"--bind", "127.0.0.1", "--port", "0"});
  int fd = -1;
  pid_ = spawn_server(args, fd);
  reader_ = std::thread([this, fd] { collect_output(fd); });
  const std::string marker = "listening on 127.0.0.1:";
  if (wait_for_log(marker)) {
    std::lock_guard<std::mutex> lock(mutex_);
    port_ = static_cast<unsigned short>(std::atoi(log_.c_str() + log_.find(marker) + marker.size()));
  }
}

ServerProcess::~ServerProcess() { stop(); }

void ServerProcess::collect_output(int fd) {
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.append(buffer, static_cast<std::size_t>(n));
    changed_.notify_all();
  }
  ::close(fd);
  std::lock_guard<std::mutex> lock(mutex_);
  output_closed_ = true;
  changed_.notify_all();
}

bool ServerProcess::wait_for_log(const std::string& needle) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::seconds(5), [&] {
    return log_.find(needle) != std::string::npos || output_closed_;
  }) && log_.find(needle) != std::string::npos;
}

std::string ServerProcess::log() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return log_;
}

int ServerProcess::stop() {
  if (pid_ < 0) return -1;
  ::kill(pid_, SIGTERM);
  const int code = reap(pid_, std::chrono::seconds(5));
  pid_ = -1;
  if (reader_.joinable()) reader_.join();
  return code;
}

RawClient::RawClient(unsigned short port) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int one = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  timeval timeout{5, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ADD_FAILURE() << "connect to 127.0.0.1:" << port << " failed: " << std::strerror(errno);
  }
}

RawClient::~RawClient() { ::close(fd_); }

void RawClient::send_raw(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::size_t piece = std::min(piece_size_, bytes.size() - done);
    const ssize_t n = ::send(fd_, bytes.data() + done, piece, MSG_NOSIGNAL);
    if (n <= 0) {
      ADD_FAILURE() << "send failed: " << std::strerror(errno);
      return;
    }
    done += static_cast<std::size_t>(n);
  }
}

void RawClient::send_block(const std::string& text) {
  std::string block = text;
  block.resize(256, '\0');
  send_raw(block);
}

std::string RawClient::read_exact(std::size_t n) {
  std::string data(n, '\0');
  std::size_t got = 0;
  while (got < n) {
    const ssize_t r = ::recv(fd_, data.data() + got, n - got, 0);
    if (r <= 0) break;
    got += static_cast<std::size_t>(r);
  }
  data.resize(got);
  return data;
}

std::string RawClient::read_block_text() {
  const std::string block = read_exact(256);
  EXPECT_EQ(block.size(), 256u) << "a message shorter than a block: " << block_text(block);
  return block_text(block);
}

bool RawClient::closed_by_server() {
  char byte;
  const ssize_t r = ::recv(fd_, &byte, 1, 0);
  return r == 0 || (r < 0 && errno == ECONNRESET);
}

std::string RawClient::login(const std::string& password) {
  send_block("velto");
  const std::string prompt = read_block_text();
  EXPECT_EQ(first_marker(prompt), "password:") << prompt;
  send_block(password);
  return read_block_text();
}

std::string RawClient::list() {
  send_block("ls");
  const std::string header = read_block_text();
  EXPECT_EQ(first_marker(header), ":") << "not a listing header: " << header;
  const auto colon = header.rfind(':');
  if (colon == std::string::npos) return "";
  const std::size_t length = std::strtoul(header.c_str() + colon + 1, nullptr, 10);
  const std::string text = read_exact(length);
  EXPECT_EQ(text.size(), length) << "listing shorter than announced";
  return text;
}

RawClient::Download RawClient::get(const std::string& name) {
  Download result;
  send_block("get " + name);
  result.header = read_block_text();
  if (first_marker(result.header) != "<") return result;
  result.size = std::strtoull(result.header.c_str() + result.header.find('<') + 1, nullptr, 10);
  Fnv1a hash;
  std::vector<char> buffer(1 << 16);
  std::uint64_t left = result.size;
  while (left > 0) {
    const ssize_t r = ::recv(fd_, buffer.data(), std::min<std::uint64_t>(left, buffer.size()), 0);
    if (r <= 0) {
      ADD_FAILURE() << "file data ended " << left << " bytes early";
      return result;
    }
    hash.add(buffer.data(), static_cast<std::size_t>(r));
    if (result.size <= (1u << 20)) result.data.append(buffer.data(), static_cast<std::size_t>(r));
    left -= static_cast<std::uint64_t>(r);
  }
  result.hash = hash.value();
  result.completion = read_block_text();
  return result;
}

}  // namespace zurod_test
