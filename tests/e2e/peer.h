// A scriptable stand-in for a file server: a loopback listener on its own thread that records
// every 256-byte block the client sends and answers with exactly the bytes, splits, pauses and
// closes its script gives. It can say what a well-behaved server never would.
#pragma once
#include <winsock2.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace e2e {

constexpr size_t kBlockSize = 256;

struct PeerStep {
    enum class Kind { Expect, Send, Pause, Hold, Close, Accept, ExpectClose };
    Kind kind = Kind::Pause;
    std::string text;                 // Expect: the block's text, if check_text
    bool check_text = false;
    std::vector<std::string> pieces;  // Send: one send call each
    unsigned ms = 0;                  // Send: pause between pieces; Pause: its length
};

// Waits for the client's next 256-byte block (any text, or exactly `text` up to its NUL).
PeerStep Expect();
PeerStep Expect(const std::string& text);
// Sends each piece with its own send call, pausing `gap_ms` between them so that the client
// sees separate reads. Pieces may hold any bytes, NUL included.
PeerStep Send(std::vector<std::string> pieces, unsigned gap_ms = 100);
PeerStep Pause(unsigned ms);
PeerStep Hold();         // waits until the test calls Peer::Release
PeerStep Close();        // closes the connection
PeerStep Accept();       // waits for the client's next connection
PeerStep ExpectClose();  // waits until the client closes its side

class Peer {
public:
    // Listens on 127.0.0.1 at an ephemeral port and runs the script on the first connection.
    explicit Peer(std::vector<PeerStep> script);
    ~Peer();
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    int Port() const { return port_; }
    bool Listening() const { return port_ != 0; }

    void Release();  // lets a Hold step go on

    // Every block received so far, whole (256 bytes) or as text (up to the first NUL).
    std::vector<std::string> Blocks() const;
    std::vector<std::string> BlockTexts() const;
    bool WaitForBlocks(size_t count, unsigned timeout_ms = 10000) const;

    // Waits until the script has run to its end or failed; true when it ran to its end.
    bool WaitDone(unsigned timeout_ms = 10000) const;
    std::string Failure() const;  // the first thing that went against the script; "" if none
    int Connections() const { return connections_; }
    bool ClientClosed() const { return client_closed_; }

private:
    void Run();
    bool RunStep(const PeerStep& step);
    bool ReadBlock(std::string* block, unsigned timeout_ms);  // false on close or timeout
    bool WaitReadable(SOCKET socket, unsigned timeout_ms);
    bool AcceptConnection(unsigned timeout_ms);
    void CloseConnection();
    void Fail(const std::string& why);

    std::vector<PeerStep> script_;
    SOCKET listener_ = INVALID_SOCKET;
    SOCKET connection_ = INVALID_SOCKET;
    int port_ = 0;
    std::string pending_;  // bytes of a block not yet complete

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<std::string> blocks_;
    size_t blocks_taken_ = 0;  // blocks consumed by Expect steps
    std::string failure_;
    bool done_ = false;
    bool released_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::atomic<bool> client_closed_{false};
    std::thread thread_;
};

}  // namespace e2e
