// The platform's ceiling: a plain blocking socket that reads the file in 64 KiB pieces. It
// speaks the client's protocol to a server on 127.0.0.1 and times "get NAME" up to the
// completion notice. The data are counted, not stored.
//
//   blocking_reader PORT PASSWORD NAME
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "reader_wire.h"

namespace {

SOCKET Socket = INVALID_SOCKET;

void Send(const std::string& text) {
    std::string block = bench::CommandBlock(text);
    send(Socket, block.data(), bench::kBlockSize, 0);
}

// Exactly `count` bytes into `buffer`; false if the connection ends first.
bool ReadExactly(char* buffer, int count) {
    for (int have = 0; have < count;) {
        int got = recv(Socket, buffer + have, count - have, 0);
        if (got <= 0) return false;
        have += got;
    }
    return true;
}

// The next 256-byte server message, NUL-terminated.
bool ReadBlock(char (&block)[bench::kBlockSize + 1]) {
    block[bench::kBlockSize] = '\0';
    return ReadExactly(block, bench::kBlockSize);
}

int Fail(const char* what) {
    std::fprintf(stderr, "blocking_reader: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: blocking_reader PORT PASSWORD NAME\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const std::string password = argv[2];
    const std::string name = argv[3];

    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    // Loopback only: this program never talks to another machine.
    Socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in server = {};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<u_short>(port));
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(Socket, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0)
        return Fail("cannot connect");

    char block[bench::kBlockSize + 1];
    Send("velto");
    if (!ReadBlock(block) || !std::strstr(block, "password:")) return Fail("no password prompt");
    Send(password);
    if (!ReadBlock(block)) return Fail("no agreement");
    Send("ls");
    if (!ReadBlock(block)) return Fail("no listing header");
    std::vector<char> listing(bench::ListingLength(block));
    if (!ReadExactly(listing.data(), static_cast<int>(listing.size()))) return Fail("no listing");

    const bench::CpuReading cpu_start = bench::ReadOwnCpu();
    const double start = bench::Seconds();
    Send("get " + name);
    unsigned long size = 0;
    if (!ReadBlock(block) || !bench::FileSize(block, &size))
        return Fail((std::string("no file header: ") + block).c_str());
    std::vector<char> buffer(64 * 1024);
    unsigned long received = 0;
    while (received < size) {
        unsigned long left = size - received;
        int want = left < buffer.size() ? static_cast<int>(left) : static_cast<int>(buffer.size());
        int got = recv(Socket, buffer.data(), want, 0);
        if (got <= 0) return Fail("the connection ended in the data");
        received += static_cast<unsigned long>(got);
    }
    if (!ReadBlock(block) || !std::strchr(block, '@')) return Fail("no completion notice");
    bench::PrintResult("blocking", bench::Seconds() - start, received, cpu_start);

    closesocket(Socket);
    WSACleanup();
    return 0;
}
