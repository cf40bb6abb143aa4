#include "peer.h"

#include <windows.h>

#include <chrono>

namespace e2e {

namespace {

constexpr unsigned kStepTimeoutMs = 15000;  // bound of every wait for the client
constexpr unsigned kPollMs = 50;            // how often blocked waits look at the stop flag

std::string TextOf(const std::string& block) { return block.substr(0, block.find('\0')); }

std::string Printable(const std::string& text) {
    std::string shown;
    for (unsigned char c : text)
        shown += (c >= 32 && c < 127) ? std::string(1, static_cast<char>(c))
                                      : "\\x" + std::string(1, "0123456789abcdef"[c >> 4]) +
                                            std::string(1, "0123456789abcdef"[c & 15]);
    return shown;
}

}  // namespace

PeerStep Expect() {
    PeerStep step;
    step.kind = PeerStep::Kind::Expect;
    return step;
}

PeerStep Expect(const std::string& text) {
    PeerStep step = Expect();
    step.text = text;
    step.check_text = true;
    return step;
}

PeerStep Send(std::vector<std::string> pieces, unsigned gap_ms) {
    PeerStep step;
    step.kind = PeerStep::Kind::Send;
    step.pieces = std::move(pieces);
    step.ms = gap_ms;
    return step;
}

PeerStep Pause(unsigned ms) {
    PeerStep step;
    step.kind = PeerStep::Kind::Pause;
    step.ms = ms;
    return step;
}

PeerStep Hold() {
    PeerStep step;
    step.kind = PeerStep::Kind::Hold;
    return step;
}

PeerStep Close() {
    PeerStep step;
    step.kind = PeerStep::Kind::Close;
    return step;
}

PeerStep Accept() {
    PeerStep step;
    step.kind = PeerStep::Kind::Accept;
    return step;
}

PeerStep ExpectClose() {
    PeerStep step;
    step.kind = PeerStep::Kind::ExpectClose;
    return step;
}

Peer::Peer(std::vector<PeerStep> script) : script_(std::move(script)) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;  // ephemeral
    int length = sizeof(address);
    if (listener_ == INVALID_SOCKET ||
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener_, 4) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        failure_ = "cannot listen on 127.0.0.1";
        done_ = true;
        return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
}

Peer::~Peer() {
    stop_ = true;
    Release();
    if (thread_.joinable()) thread_.join();
    CloseConnection();
    if (listener_ != INVALID_SOCKET) closesocket(listener_);
    WSACleanup();
}

void Peer::Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
}

std::vector<std::string> Peer::Blocks() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return blocks_;
}

std::vector<std::string> Peer::BlockTexts() const {
    std::vector<std::string> texts;
    for (const std::string& block : Blocks()) texts.push_back(TextOf(block));
    return texts;
}

bool Peer::WaitForBlocks(size_t count, unsigned timeout_ms) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                             [&] { return blocks_.size() >= count; });
}

bool Peer::WaitDone(unsigned timeout_ms) const {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return done_; });
    return done_ && failure_.empty();
}

std::string Peer::Failure() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
}

void Peer::Fail(const std::string& why) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failure_.empty()) failure_ = why;
}

bool Peer::WaitReadable(SOCKET socket, unsigned timeout_ms) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval timeout{static_cast<long>(timeout_ms / 1000), static_cast<long>(timeout_ms % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &timeout) == 1;
}

bool Peer::AcceptConnection(unsigned timeout_ms) {
    DWORD start = GetTickCount();
    while (!stop_ && GetTickCount() - start < timeout_ms) {
        if (!WaitReadable(listener_, kPollMs)) continue;
        connection_ = accept(listener_, nullptr, nullptr);
        if (connection_ == INVALID_SOCKET) continue;
        pending_.clear();
        client_closed_ = false;
        ++connections_;
        return true;
    }
    return false;
}

void Peer::CloseConnection() {
    if (connection_ == INVALID_SOCKET) return;
    closesocket(connection_);
    connection_ = INVALID_SOCKET;
}

// Reads what has arrived into whole blocks. False when the client has closed its side or the
// connection broke; true otherwise, also when nothing arrived within the timeout.
bool Peer::ReadBlock(std::string* block, unsigned timeout_ms) {
    DWORD start = GetTickCount();
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (block && blocks_taken_ < blocks_.size()) {
                *block = blocks_[blocks_taken_++];
                return true;
            }
        }
        if (stop_ || connection_ == INVALID_SOCKET) return false;
        if (GetTickCount() - start >= timeout_ms) return block == nullptr;
        if (!WaitReadable(connection_, kPollMs)) continue;
        char buffer[4096];
        int count = recv(connection_, buffer, sizeof(buffer), 0);
        if (count <= 0) {
            client_closed_ = true;
            CloseConnection();
            return false;
        }
        pending_.append(buffer, static_cast<size_t>(count));
        std::lock_guard<std::mutex> lock(mutex_);
        while (pending_.size() >= kBlockSize) {
            blocks_.push_back(pending_.substr(0, kBlockSize));
            pending_.erase(0, kBlockSize);
        }
        changed_.notify_all();
    }
}

bool Peer::RunStep(const PeerStep& step) {
    switch (step.kind) {
    case PeerStep::Kind::Expect: {
        std::string block;
        if (!ReadBlock(&block, kStepTimeoutMs)) {
            Fail(client_closed_ ? "the client closed the connection before sending a block"
                                : "no block from the client in time");
            return false;
        }
        if (step.check_text && TextOf(block) != step.text) {
            Fail("expected the block \"" + Printable(step.text) + "\", got \"" +
                 Printable(TextOf(block)) + "\"");
            return false;
        }
        return true;
    }
    case PeerStep::Kind::Send:
        for (size_t i = 0; i < step.pieces.size(); ++i) {
            if (i > 0) Sleep(step.ms);
            const std::string& piece = step.pieces[i];
            size_t sent = 0;
            while (sent < piece.size()) {
                int count = send(connection_, piece.data() + sent,
                                 static_cast<int>(piece.size() - sent), 0);
                if (count <= 0) {
                    Fail("send failed: the connection is gone");
                    return false;
                }
                sent += static_cast<size_t>(count);
            }
        }
        return true;
    case PeerStep::Kind::Pause:
        Sleep(step.ms);
        return true;
    case PeerStep::Kind::Hold: {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return released_ || stop_; });
        released_ = false;
        return !stop_;
    }
    case PeerStep::Kind::Close:
        ReadBlock(nullptr, 0);  // keep what the client sent before the close
        CloseConnection();
        return true;
    case PeerStep::Kind::Accept:
        CloseConnection();
        if (!AcceptConnection(kStepTimeoutMs)) {
            Fail("the client did not connect again");
            return false;
        }
        return true;
    case PeerStep::Kind::ExpectClose: {
        DWORD start = GetTickCount();
        while (!stop_ && GetTickCount() - start < kStepTimeoutMs)
            if (!ReadBlock(nullptr, kPollMs)) break;
        if (!client_closed_) {
            Fail("the client did not close the connection");
            return false;
        }
        return true;
    }
    }
    return false;
}

void Peer::Run() {
    bool ok = AcceptConnection(kStepTimeoutMs);
    if (!ok) Fail("the client did not connect");
    for (size_t i = 0; ok && i < script_.size(); ++i) ok = RunStep(script_[i]);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        done_ = true;
        changed_.notify_all();
    }
    // Keep the connection open and go on recording until the test ends or the client closes.
    while (!stop_ && ReadBlock(nullptr, kPollMs)) {
    }
}

}  // namespace e2e
