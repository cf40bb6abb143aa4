// The conversation with the server: socket events, the command replies, the agreement.
#include "client/conversation.h"

#include <cstring>

#include "client/front_end.h"

int32_t ProtocolState = Command;
char ReceiveBuffer[ReadSize];
uint32_t BytesDone = 0;

void HandleSocketEvent(int event)
{
    std::memset(ReceiveBuffer, 0, sizeof ReceiveBuffer);
    switch (event) {
    case SocketRead:
        OnSocketRead();
        break;
    case SocketConnect:
        OnSocketConnect();
        break;
    case SocketClose:
        OnSocketClose();
        break;
    default:
        break;
    }
}

bool CheckCommandLength(const std::string& text)
{
    if (text.size() <= MaxCommandText)
        return true;
    // A cut name would name another file or directory: refuse the command instead.
    LogMessage("Name too long, command not sent: %s", text.c_str());
    return false;
}

int SendCommand(const std::string& text)
{
    if (!CheckCommandLength(text))
        return -1;
    CommandBlock block;
    BuildCommandBlock(text, block);
    return SocketSend(block.bytes, static_cast<int>(sizeof block.bytes));
}

int NextReadLength()
{
    // In a download never read past the file's end: the completion notice that may follow
    // right behind the data is then read on its own and recognised.
    if (ProtocolState == Download && BytesDone < BytesTotal && BytesTotal - BytesDone < ReadSize)
        return static_cast<int>(BytesTotal - BytesDone);
    return static_cast<int>(ReadSize);
}

void OnSocketConnect()
{
    if (SendCommand("velto") < 0) {
        // The connection's own error is not reported with FD_CONNECT here; the failed send is.
        LogMessage("Error couldnt connect Error Number %d", SocketLastError());
        EnableConnectButton();
        SetConnectWindowTitle("Connection Couldnt be Established");
        return;
    }
    LogMessage("Succesfully Connected Sending Handshake");
    SetMainTitle("VELTO ZUrod GUI - Connected.");
    if (ProtocolState == Download) {
        // A download cut off by the end of the last connection: keep what arrived and end
        // it, or the new connection's replies would be written into that file.
        LogMessage("Already reciving a file cannot connect!");
        CloseOutputFile();
        DownloadFailed = true;
    }
    ProtocolState = Command;
}

static void AgreementStep(const char* bytes, uint32_t count)
{
    // The box runs its own message loop, which may handle another read and so overwrite
    // ReceiveBuffer before it returns: show a copy.
    const std::string agreement = ReadText(bytes, count);
    if (AskAgreement(agreement.c_str())) {
        LogMessage("Accepted Agreement Listing Directory.");
        SendCommand("ls");
        // A box opened on top of this one may have been answered first, and a file begun
        // since: the rest of that file is data still, not replies.
        if (ProtocolState != Download)
            ProtocolState = Command;
    } else {
        SocketCloseKeepHandle();
        LogMessage("Agreement not accepted closing connection..");
    }
}

void OnSocketRead()
{
    HideConnectWindow();
    int received = SocketReceive(ReceiveBuffer, NextReadLength());
    if (received <= 0)
        return;  // closed or nothing there (FD_CLOSE does the clean-up); no data to act on
    const uint32_t count = static_cast<uint32_t>(received);
    switch (ProtocolState) {
    case Command:
        HandleCommandReply(ReadText(ReceiveBuffer, count));
        break;
    case Agreement:
        AgreementStep(ReceiveBuffer, count);
        break;
    case Listing:
        AppendListingChunk(count, ReadText(ReceiveBuffer, count));
        break;
    case Download:
        WriteDownloadChunk(ReceiveBuffer, count);
        break;
    default:
        break;
    }
}

void OnSocketClose()
{
    FileListEnable(false);
    EnableConnectButton();
    FileListReset();
    ProgressSetPos(0);
}

void HandleCommandReply(const std::string& text)
{
    switch (ClassifyReply(text)) {
    case ReplyKind::PasswordPrompt:
        LogMessage("Sending password info...");
        SendCommand(ReadPassword());
        ProtocolState = Agreement;
        break;
    case ReplyKind::DirectoryReply:
        LogMessage("CD Directory to %s", DirectoryOfReply(text).c_str());
        break;
    case ReplyKind::FileHeader:
        BeginDownload(text);
        break;
    case ReplyKind::ListingHeader:
        BeginListing(text);
        break;
    case ReplyKind::CompletionNotice:
        FinishDownload();
        break;
    case ReplyKind::ServerNotice:
        LogMessage("%s", text.c_str());  // the server's text is never a format
        break;
    case ReplyKind::None:
        break;
    }
}

void ResetConversation()
{
    CloseOutputFile();
    ProtocolState = Command;
    std::memset(ReceiveBuffer, 0, sizeof ReceiveBuffer);
    ListingText.clear();
    ListingLength = 0;
    SavePath.clear();
    BytesTotal = 0;
    BytesDone = 0;
    DownloadFailed = false;
}
