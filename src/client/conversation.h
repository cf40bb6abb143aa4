// The client's side of the conversation with a ZUrod server: what each socket event means,
// the listing and the download. Portable C++: it acts through front_end.h only.
#pragma once
#include <cstdint>
#include <string>

#include "client/protocol.h"

// ProtocolState: what the next read means.
enum : int32_t { Command = -1, Agreement = 0, Listing = 1, Download = 2 };
extern int32_t ProtocolState;

extern char ReceiveBuffer[ReadSize];  // the last read; cleared at every socket event

// Listing.
extern std::string ListingText;
extern uint32_t ListingLength;

// Download.
extern std::string SavePath;
extern uint32_t BytesTotal;
extern bool DownloadFailed;  // the last download's file could not be written whole

// Bytes of the current listing or download received so far (shared by both).
extern uint32_t BytesDone;

// Socket events, as Winsock numbers them in the low word of WM_SOCKET's lParam.
enum : int { SocketRead = 1, SocketConnect = 16, SocketClose = 32 };

// HandleSocketMessage's work: clears ReceiveBuffer, then dispatches by event.
void HandleSocketEvent(int event);
void OnSocketConnect();
void OnSocketRead();
void OnSocketClose();
void HandleCommandReply(const std::string& text);

// How many bytes the next read may take: 256, or in a download no more than the file
// still needs, so that a completion notice right behind the data is read on its own.
int NextReadLength();

// Sends text as one 256-byte block. A text too long for a block is not sent (a cut name
// would name something else): the line is logged and -1 returned.
int SendCommand(const std::string& text);
// True when text fits one block; otherwise logs that the command was not sent.
bool CheckCommandLength(const std::string& text);

// Listing and navigation.
void BeginListing(const std::string& text);
void AppendListingChunk(uint32_t count, const std::string& text);
void ShowListing(const std::string& listing);
void OnFileListDoubleClick();

// Download.
void RequestDownload(const std::string& entry);
void BeginDownload(const std::string& text);
void WriteDownloadChunk(const char* bytes, uint32_t count);
void FinishDownload();
void CloseOutputFile();

// Back to the state at process start (tests and fuzzers run many conversations).
void ResetConversation();
