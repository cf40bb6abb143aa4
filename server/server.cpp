#include "server.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>

#include <sys/sendfile.h>

namespace zurod {

using asio::ip::tcp;

void log_event(const std::string& line) {
  char stamp[32];
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S ", &local);
  const std::string text = stamp + line + "\n";
  std::fwrite(text.data(), 1, text.size(), stderr);
}

namespace {

std::string endpoint_text(const tcp::endpoint& endpoint) {
  return endpoint.address().to_string() + ":" + std::to_string(endpoint.port());
}

std::string peer_text(const tcp::socket& socket) {
  asio::error_code ec;
  const auto peer = socket.remote_endpoint(ec);
  return ec ? std::string("unknown peer") : endpoint_text(peer);
}

// Per sendfile call: large enough to stream fast, small enough to let other clients in.
constexpr std::size_t kFileChunk = 1 << 20;

}  // namespace

// One client: reads a 256-byte command, sends everything the session answers, then
// reads the next. Reading waits while answers are going out, which bounds memory.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(Server& server, tcp::socket socket, unsigned id)
      : id_(id),
        server_(server),
        socket_(std::move(socket)),
        idle_timer_(socket_.get_executor()),
        name_("client " + std::to_string(id) + " " + peer_text(socket_)),
        session_(server.config_.session, server.fs_, [this](const std::string& line) { log(line); }) {}

  void start() {
    asio::error_code ec;
    socket_.set_option(tcp::no_delay(true), ec);  // each block as soon as it is ready
    socket_.native_non_blocking(true, ec);        // for sendfile
    log("connected");
    touch();
    wait_idle();
    read_block();
  }

  unsigned id() const { return id_; }
  bool logged_in() const { return session_.logged_in(); }

  void stop(const std::string& reason) {
    if (stopped_) return;
    stopped_ = true;
    log(reason);
    asio::error_code ec;
    socket_.shutdown(tcp::socket::shutdown_both, ec);
    socket_.close(ec);
    idle_timer_.cancel();
    server_.forget(shared_from_this());
  }

 private:
  void log(const std::string& line) { log_event(name_ + ": " + line); }

  void touch() { last_activity_ = std::chrono::steady_clock::now(); }

  void wait_idle() {
    idle_timer_.expires_at(last_activity_ + server_.config_.idle_timeout);
    idle_timer_.async_wait([self = shared_from_this()](const asio::error_code& ec) {
      if (ec || self->stopped_) return;
      if (std::chrono::steady_clock::now() >= self->last_activity_ + self->server_.config_.idle_timeout) {
        self->stop("idle for " + std::to_string(self->server_.config_.idle_timeout.count()) +
                   " s, closing");
      } else {
        self->wait_idle();
      }
    });
  }

  void read_block() {
    asio::async_read(socket_, asio::buffer(read_buffer_),
                     [self = shared_from_this()](const asio::error_code& ec, std::size_t n) {
                       self->on_read(ec, n);
                     });
  }

  void on_read(const asio::error_code& ec, std::size_t n) {
    if (stopped_) return;
    if (ec) {
      stop(ec == asio::error::eof ? "disconnected" : "read failed: " + ec.message());
      return;
    }
    touch();
    for (auto& item : session_.feed(std::string_view(read_buffer_.data(), n))) {
      pending_.push_back(std::move(item));
    }
    send_next();
  }

  void send_next() {
    if (stopped_) return;
    if (pending_.empty()) {
      read_block();
      return;
    }
    Output& item = pending_.front();
    switch (item.kind) {
      case Output::Kind::bytes:
        asio::async_write(socket_, asio::buffer(item.data),
                          [self = shared_from_this()](const asio::error_code& ec, std::size_t) {
                            self->on_sent(ec);
                          });
        return;
      case Output::Kind::file:
        file_offset_ = 0;
        send_file_chunk();
        return;
      case Output::Kind::close:
        stop("connection closed");
        return;
    }
  }

  void on_sent(const asio::error_code& ec) {
    if (stopped_) return;
    if (ec) {
      stop("send failed: " + ec.message());
      return;
    }
    touch();
    pending_.pop_front();
    send_next();
  }

  void send_file_chunk() {
    if (file_offset_ == pending_.front().size) {
      log("file data sent (" + std::to_string(file_offset_) + " bytes)");
      on_sent({});
      return;
    }
    socket_.async_wait(tcp::socket::wait_write, [self = shared_from_this()](const asio::error_code& ec) {
      if (self->stopped_) return;
      if (ec) {
        self->stop("send failed: " + ec.message());
        return;
      }
      const Output& item = self->pending_.front();
      off_t offset = static_cast<off_t>(self->file_offset_);
      const std::size_t want =
          static_cast<std::size_t>(std::min<std::uint64_t>(item.size - self->file_offset_, kFileChunk));
      const ssize_t sent = ::sendfile(self->socket_.native_handle(), item.file.get(), &offset, want);
      if (sent < 0 && errno != EAGAIN && errno != EINTR) {
        self->stop(std::string("send failed: ") + std::strerror(errno));
        return;
      }
      if (sent == 0) {
        // The client has been promised the announced size and can't be told otherwise.
        self->stop("file became shorter while being sent, closing");
        return;
      }
      if (sent > 0) {
        self->file_offset_ += static_cast<std::uint64_t>(sent);
        self->touch();
      }
      self->send_file_chunk();
    });
  }

  const unsigned id_;
  Server& server_;
  tcp::socket socket_;
  asio::steady_timer idle_timer_;
  std::string name_;
  Session session_;
  std::array<char, 256> read_buffer_{};
  std::deque<Output> pending_;
  std::uint64_t file_offset_ = 0;
  std::chrono::steady_clock::time_point last_activity_;
  bool stopped_ = false;
};

Server::Server(asio::io_context& io, ServerConfig config, FsView& fs)
    : acceptor_(io), retry_timer_(io), config_(std::move(config)), fs_(fs) {
  acceptor_.open(config_.endpoint.protocol());
  acceptor_.set_option(tcp::acceptor::reuse_address(true));
  acceptor_.bind(config_.endpoint);
  acceptor_.listen();
}

void Server::start() {
  log_event("listening on " + endpoint_text(acceptor_.local_endpoint()));
  accept();
}

void Server::stop() {
  if (stopping_) return;
  stopping_ = true;
  asio::error_code ec;
  acceptor_.close(ec);
  retry_timer_.cancel();
  const auto open = connections_;  // stop() removes each from the set
  for (const auto& connection : open) connection->stop("server shutting down");
}

void Server::accept() {
  acceptor_.async_accept([this](const asio::error_code& ec, tcp::socket socket) {
    if (stopping_) return;
    if (ec) {
      // Typically out of file descriptors: wait a little instead of spinning.
      log_event("accept failed: " + ec.message());
      retry_timer_.expires_after(std::chrono::milliseconds(100));
      retry_timer_.async_wait([this](const asio::error_code& wait_ec) {
        if (!wait_ec && !stopping_) accept();
      });
      return;
    }
    const unsigned id = next_id_++;
    if (connections_.size() >= config_.max_clients) make_room();
    if (connections_.size() >= config_.max_clients) {
      log_event("client " + std::to_string(id) + " " + peer_text(socket) +
                ": refused, already serving " + std::to_string(connections_.size()) + " clients");
      asio::error_code close_ec;
      socket.close(close_ec);
    } else {
      auto connection = std::make_shared<Connection>(*this, std::move(socket), id);
      connections_.insert(connection);
      connection->start();
    }
    accept();
  });
}

void Server::make_room() {
  // Connections that never log in must not lock out those that do: the oldest of them gives
  // way. Clients that have logged in keep their places until they leave or idle out.
  std::shared_ptr<Connection> oldest;
  for (const auto& connection : connections_) {
    if (connection->logged_in()) continue;
    if (!oldest || connection->id() < oldest->id()) oldest = connection;
  }
  if (oldest) oldest->stop("not logged in, closing to make room for a new client");
}

void Server::forget(const std::shared_ptr<Connection>& connection) {
  connections_.erase(connection);
}

}  // namespace zurod
