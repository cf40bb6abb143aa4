// The directory listing and the double-clicks on its entries.
#include <vector>

#include "client/conversation.h"
#include "client/front_end.h"
#include "client/listing.h"

std::string ListingText;
uint32_t ListingLength = 0;

void BeginListing(const std::string& text)
{
    const uint32_t length = ParseListingLength(text);
    ListingLength = length;
    BytesDone = 0;
    LogMessage("Listing Directory of Length of %d", static_cast<int32_t>(length));
    ListingText.clear();
    ProtocolState = Listing;
}

void AppendListingChunk(uint32_t count, const std::string& text)
{
    BytesDone += count;
    ListingText += text;
    // The state stays Listing: every later read is appended and the list built again.
    if (BytesDone >= ListingLength)
        ShowListing(ListingText);
}

void ShowListing(const std::string& listing)
{
    std::vector<std::string> entries;
    SplitString(listing, "\n", entries);
    FileListReset();
    FileListEnable(true);
    FileListAdd("..");
    for (const std::string& entry : entries)
        FileListAdd(entry);  // empty ones too; the list box sorts
}

void OnFileListDoubleClick()
{
    std::string entry;
    if (!FileListSelectedText(entry))
        return;
    switch (ClassifyEntry(entry)) {
    case EntryKind::Directory: {
        const std::string command = "cd " + DirectoryNameOfEntry(entry);
        if (!CheckCommandLength(command))
            return;  // no "ls" either: it would list the directory we did not leave
        ProtocolState = Command;
        SendCommand(command);
        SendCommand("ls");
        break;
    }
    case EntryKind::Parent:
        ProtocolState = Command;
        SendCommand("cd ..");
        SendCommand("ls");
        break;
    case EntryKind::File:
        RequestDownload(entry);
        break;
    }
}
