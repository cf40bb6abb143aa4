// The client's conversation against a hostile server. The input is a script of socket
// events, server bytes cut into reads, the user's answers and double-clicks; the real
// conversation code runs from the handshake on, and every call it makes to the front end
// is checked here. Any broken rule aborts with a message naming it.
//
// Input, read from the front (a short input just stops the script):
//   password: 1 byte n (taken mod 255), then n bytes (up to a NUL)
//   then events, each an op byte (mod 8):
//     0-2 bytes arrive: 1 byte n, then n+1 bytes; one FD_READ
//     3   FD_READ with nothing new (what a read leaves stays for the next one)
//     4   FD_CLOSE from the server
//     5   FD_CONNECT: 1 byte, bit 0 set = the connection failed
//     6   double-click: 1 byte selection (255: none; else index mod the list's size),
//         1 byte Save dialog answer (bit 0 cancel, bits 1-2 path, bits 3-4 events inside it)
//     7   the status panel with any counts: 4 bytes done, 4 bytes total
//   the agreement box takes 1 byte when it opens: bit 0 No, bits 1-2 events inside it.
// Events inside a modal box are socket events only, as the box blocks the window.
#include <link.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "app/panel_text.h"
#include "client/conversation.h"
#include "client/front_end.h"

namespace {

[[noreturn]] void Fail(const char* format, ...)
{
    std::fprintf(stderr, "\n*** fuzz_client_conversation: ");
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fprintf(stderr, "\n");
    std::abort();
}

struct Input {
    const uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t pos = 0;

    bool Empty() const { return pos >= size; }
    uint8_t Byte() { return pos < size ? data[pos++] : 0; }
    uint32_t Word()
    {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value = value << 8 | Byte();
        return value;
    }
    std::string Bytes(std::size_t count)
    {
        if (count > size - pos)
            count = size - pos;
        std::string bytes(reinterpret_cast<const char*>(data + pos), count);
        pos += count;
        return bytes;
    }
};

// The Save dialog's answers. Writes to the third fail as on a full disk; the fourth can't
// be created.
const char* const SavePaths[] = {
    "C:\\Users\\me\\Downloads\\file.bin",
    "C:\\Users\\me\\notes.txt",
    "D:\\full\\disk.bin",
    "Z:\\readonly\\cannot.bin",
};
const std::string FullDiskPath = SavePaths[2];
const std::string ReadOnlyPath = SavePaths[3];

// Every format the conversation may log with. Server text only ever fills a "%s".
const char* const LogFormats[] = {
    "Name too long, command not sent: %s",
    "Error couldnt connect Error Number %d",
    "Succesfully Connected Sending Handshake",
    "Already reciving a file cannot connect!",
    "Accepted Agreement Listing Directory.",
    "Agreement not accepted closing connection..",
    "Sending password info...",
    "CD Directory to %s",
    "%s",
    "Listing Directory of Length of %d",
    "Creating file %s of size %d",
    "Error couldnt create file %s",
    "Error couldnt write file %s",
    "File %s was not transfered!.",
    "File %s successfully transfered!.",
};

// Read-only segments of the program: where string literals live, and server text never.
struct Segment {
    uintptr_t begin, end;
};
std::vector<Segment> ReadOnlySegments;

int CollectReadOnly(dl_phdr_info* info, std::size_t, void*)
{
    if (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0')
        return 0;  // the main program is listed first, without a name
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& ph = info->dlpi_phdr[i];
        if (ph.p_type == PT_LOAD && !(ph.p_flags & PF_W))
            ReadOnlySegments.push_back({info->dlpi_addr + ph.p_vaddr, info->dlpi_addr + ph.p_vaddr + ph.p_memsz});
    }
    return 1;
}

bool IsReadOnly(const char* p)
{
    const uintptr_t address = reinterpret_cast<uintptr_t>(p);
    for (const Segment& s : ReadOnlySegments) {
        if (address >= s.begin && address < s.end)
            return true;
    }
    return false;
}

// The world around the conversation: the socket, the windows, the output file.
struct World {
    Input input;
    int depth = 0;  // modal boxes open

    // The connection: bytes as they arrived, a segment at a time.
    bool connected = false;
    bool peerClosed = false;
    std::deque<std::string> arrived;
    int lastError = 0;

    std::string password;
    std::vector<std::string> list;
    bool listEnabled = false;
    bool hasSelection = false;
    std::string selection;
    uint8_t saveAnswer = 0;

    // Output file.
    std::string chosenPath;  // the last path the Save dialog returned
    bool fileOpen = false;
    bool fileWriteFails = false;  // the disk is full
    bool writeFailed = false;     // a write of this file failed, so its close does too
    std::string filePath;
    uint32_t announced = 0;  // BytesTotal when the file was opened
    uint64_t written = 0;
    bool localFailure = false;  // this download's file could not be created or written whole
    bool closedShort = false;   // the last file closed had fewer bytes than announced

    // For the counts' checks after each event.
    uint32_t lastBytesDone = 0;
    int headersLogged = 0;
    int headersBefore = 0;
};

World W;
bool Trace = false;  // VELTO_FUZZ_TRACE set: what the conversation does goes to stderr

void RunEvent(int op);

// Socket events delivered while a modal box runs its own message loop.
void RunEventsInsideBox(int count)
{
    if (W.depth >= 3)
        return;
    ++W.depth;
    for (int i = 0; i < count && !W.input.Empty(); ++i) {
        int op = W.input.Byte() % 8;
        if (op <= 5)
            RunEvent(op);  // the window is blocked: no double-clicks
    }
    --W.depth;
}

void CheckCounts()
{
    if (BytesDone < W.lastBytesDone && W.headersLogged == W.headersBefore)
        Fail("BytesDone went back from %u to %u without a header", W.lastBytesDone, BytesDone);
    W.lastBytesDone = BytesDone;
    W.headersBefore = W.headersLogged;
    if (ProtocolState < Command || ProtocolState > Download)
        Fail("ProtocolState %d is no state", static_cast<int>(ProtocolState));
    if (BytesTotal != 0) {
        int percent = PanelPercent(BytesDone, BytesTotal);
        if (percent < 0 || percent > 100)
            Fail("PanelPercent(%u, %u) = %d", BytesDone, BytesTotal, percent);
    }
}

void RunEvent(int op)
{
    if (Trace) {
        static const char* const names[] = {"bytes arrive", "bytes arrive", "bytes arrive", "FD_READ",
                                            "FD_CLOSE", "FD_CONNECT", "double-click", "status panel"};
        std::fprintf(stderr, "%*s%s\n", 2 * W.depth, "", names[op]);
    }
    switch (op) {
    case 0:
    case 1:
    case 2: {
        std::string bytes = W.input.Bytes(static_cast<std::size_t>(W.input.Byte()) + 1);
        if (W.connected && !W.peerClosed && !bytes.empty())
            W.arrived.push_back(bytes);
        HandleSocketEvent(SocketRead);
        break;
    }
    case 3:
        HandleSocketEvent(SocketRead);
        break;
    case 4:
        W.peerClosed = true;
        HandleSocketEvent(SocketClose);
        break;
    case 5:
        // A new connection: whatever the old one left unread is gone with it.
        W.arrived.clear();
        W.peerClosed = false;
        W.connected = !(W.input.Byte() & 1);
        HandleSocketEvent(SocketConnect);
        break;
    case 6: {
        uint8_t pick = W.input.Byte();
        W.saveAnswer = W.input.Byte();
        if (!W.listEnabled)
            break;  // a disabled list box takes no clicks
        W.hasSelection = pick != 255 && !W.list.empty();
        if (W.hasSelection)
            W.selection = W.list[pick % W.list.size()];
        OnFileListDoubleClick();
        break;
    }
    case 7: {
        uint32_t done = W.input.Word();
        uint32_t total = W.input.Word();
        if (total != 0) {
            int percent = PanelPercent(done, total);
            if (percent < 0 || percent > 100)
                Fail("PanelPercent(%u, %u) = %d", done, total, percent);
            std::string text;
            if (!PanelText(done, total, text) || text.compare(0, 17, "Bytes Completed: ") != 0)
                Fail("PanelText(%u, %u) gave \"%s\"", done, total, text.c_str());
        }
        break;
    }
    }
    CheckCounts();
}

void ResetWorld()
{
    W = World();
}

}  // namespace

// The front end, checking every call.

void LogMessage(const char* format, ...)
{
    if (!IsReadOnly(format))
        Fail("log format at %p is not one of the program's literals: \"%.300s\"", static_cast<const void*>(format), format);
    bool known = false;
    for (const char* f : LogFormats)
        known = known || std::strcmp(f, format) == 0;
    if (!known)
        Fail("unknown log format \"%.300s\"", format);

    if (std::strcmp(format, "Listing Directory of Length of %d") == 0 ||
        std::strcmp(format, "Creating file %s of size %d") == 0)
        ++W.headersLogged;
    if (std::strcmp(format, "File %s successfully transfered!.") == 0) {
        if (W.localFailure)
            Fail("a download whose file could not be written was reported as transferred");
        if (W.closedShort)
            Fail("a file closed with %llu of %u bytes was reported as transferred",
                 static_cast<unsigned long long>(W.written), W.announced);
    }
    if (std::strstr(format, "transfered!.") != nullptr) {
        W.localFailure = false;  // reported: the next download starts afresh
        W.closedShort = false;
    }

    char line[5000];  // as the program's log
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (Trace)
        std::fprintf(stderr, "log: %s\n", line);
}

// Texts are only measured: the sanitizers then check that they are whole C strings.
void SetMainTitle(const char* text)
{
    (void)std::strlen(text);
}

int SocketSend(const char* bytes, int length)
{
    if (length != static_cast<int>(CommandBlockSize))
        Fail("a command block of %d bytes", length);
    const char* nul = static_cast<const char*>(std::memchr(bytes, 0, CommandBlockSize));
    if (nul == nullptr)
        Fail("a command block without a NUL: \"%.256s\"", bytes);
    for (const char* p = nul; p < bytes + CommandBlockSize; ++p) {
        if (*p != 0)
            Fail("a command block with bytes after its NUL: \"%s\"", bytes);
    }
    if (Trace)
        std::fprintf(stderr, "send: %s%s\n", bytes, W.connected ? "" : " (not connected)");
    if (!W.connected) {
        W.lastError = 10057;  // WSAENOTCONN
        return -1;
    }
    return length;
}

int SocketLastError()
{
    return W.lastError;
}

int SocketReceive(char* buffer, int length)
{
    if (length < 1 || length > static_cast<int>(ReadSize))
        Fail("a read of %d bytes asked", length);
    if (buffer != ReceiveBuffer)
        Fail("a read into another buffer than ReceiveBuffer");
    if (!W.connected) {
        W.lastError = 10038;  // WSAENOTSOCK
        return -1;
    }
    if (W.arrived.empty()) {
        if (W.peerClosed)
            return 0;
        W.lastError = 10035;  // WSAEWOULDBLOCK
        return -1;
    }
    std::string& next = W.arrived.front();
    std::size_t count = next.size() < static_cast<std::size_t>(length) ? next.size() : static_cast<std::size_t>(length);
    std::memcpy(buffer, next.data(), count);
    next.erase(0, count);
    if (next.empty())
        W.arrived.pop_front();
    return static_cast<int>(count);
}

void SocketCloseKeepHandle()
{
    W.connected = false;
    W.arrived.clear();
}

void HideConnectWindow() {}
void EnableConnectButton() {}

void SetConnectWindowTitle(const char* text)
{
    (void)std::strlen(text);
}

std::string ReadPassword()
{
    return W.password;
}

bool AskAgreement(const char* text)
{
    uint8_t answer = W.input.Byte();
    if (Trace)
        std::fprintf(stderr, "agreement: \"%s\" -> %s, %d events inside\n", text, answer & 1 ? "No" : "Yes", answer >> 1 & 3);
    RunEventsInsideBox(answer >> 1 & 3);
    return !(answer & 1);
}

bool ChooseSavePath(const std::string& initialName, std::string& path)
{
    uint8_t answer = W.saveAnswer;
    if (Trace)
        std::fprintf(stderr, "save dialog: \"%s\" -> %s, %d events inside\n", initialName.c_str(),
                     answer & 1 ? "cancel" : SavePaths[answer >> 1 & 3], answer >> 3 & 3);
    RunEventsInsideBox(answer >> 3 & 3);
    if (answer & 1)
        return false;
    path = SavePaths[answer >> 1 & 3];
    W.chosenPath = path;
    return true;
}

void FileListReset()
{
    W.list.clear();
}

void FileListEnable(bool enable)
{
    W.listEnabled = enable;
}

void FileListAdd(const std::string& entry)
{
    W.list.push_back(entry);
}

bool FileListSelectedText(std::string& text)
{
    if (!W.hasSelection)
        return false;
    text = W.selection;
    return true;
}

void ProgressSetRange(uint16_t) {}
void ProgressSetStep(int) {}
void ProgressStepIt() {}
void ProgressSetPos(int) {}

bool OutputOpen(const std::string& path)
{
    if (W.fileOpen)
        Fail("a second output file opened while \"%s\" is open", W.filePath.c_str());
    if (path != W.chosenPath)
        Fail("output file \"%s\" opened, but the Save dialog chose \"%s\"", path.c_str(), W.chosenPath.c_str());
    if (Trace)
        std::fprintf(stderr, "open: %s\n", path.c_str());
    W.announced = BytesTotal;
    W.written = 0;
    W.closedShort = false;
    if (path.empty() || path == ReadOnlyPath) {
        W.localFailure = true;
        return false;
    }
    W.fileOpen = true;
    W.filePath = path;
    W.fileWriteFails = path == FullDiskPath;
    W.writeFailed = false;
    W.localFailure = false;
    return true;
}

bool OutputWrite(const char* bytes, std::size_t count)
{
    if (!W.fileOpen)
        Fail("%zu bytes written with no output file open", count);
    if (bytes < ReceiveBuffer || count > static_cast<std::size_t>(ReceiveBuffer + ReadSize - bytes))
        Fail("%zu bytes written from outside ReceiveBuffer", count);
    if (W.written + count > W.announced)
        Fail("%llu bytes written to a file announced with %u", static_cast<unsigned long long>(W.written + count), W.announced);
    if (Trace)
        std::fprintf(stderr, "write: %zu bytes\n", count);
    if (W.fileWriteFails) {
        W.writeFailed = true;
        W.localFailure = true;
        return false;
    }
    W.written += count;
    return true;
}

bool OutputClose()
{
    if (!W.fileOpen)
        Fail("an output file closed that is not open");
    W.fileOpen = false;
    W.closedShort = W.written < W.announced;
    return !W.writeFailed;
}

bool OutputIsOpen()
{
    return W.fileOpen;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Trace = std::getenv("VELTO_FUZZ_TRACE") != nullptr;
    dl_iterate_phdr(CollectReadOnly, nullptr);
    if (ReadOnlySegments.empty())
        Fail("found no read-only segment of the program");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    ResetWorld();
    ResetConversation();
    W.input.data = data;
    W.input.size = size;

    // An edit control's text: no NUL inside.
    W.password = W.input.Bytes(W.input.Byte() % 255);
    W.password.resize(std::strlen(W.password.c_str()));
    while (!W.input.Empty())
        RunEvent(W.input.Byte() % 8);
    // The server has said all it will: Winsock posts FD_READ while bytes are waiting.
    for (int guard = 0; !W.arrived.empty() && W.connected && guard < 1000; ++guard)
        RunEvent(3);

    ResetConversation();  // closes a file left open, through the checks above
    ResetWorld();
    return 0;
}
