// Downloading one file into the path chosen in the Save dialog.
#include "client/conversation.h"
#include "client/front_end.h"

std::string SavePath;
uint32_t BytesTotal = 0;
bool DownloadFailed = false;

static std::string OutputPath;  // where the open OutputFile is; SavePath may change meanwhile

void RequestDownload(const std::string& entry)
{
    const std::string command = "get " + entry;
    // Checked before the dialog: a name too long for the command is never asked for.
    if (!CheckCommandLength(command))
        return;
    std::string path;
    if (!ChooseSavePath(entry, path))
        return;
    SavePath = path;
    // The dialog's message loop may have begun a file already (its header arrived meanwhile):
    // the rest of that file is data still, not replies.
    if (ProtocolState != Download)
        ProtocolState = Command;
    SendCommand(command);
}

void BeginDownload(const std::string& text)
{
    CloseOutputFile();
    BytesDone = 0;
    const FileHeader header = ParseFileHeader(text);
    BytesTotal = header.size;
    LogMessage("Creating file %s of size %d", header.name.c_str(), static_cast<int32_t>(header.size));
    OutputPath = SavePath;
    DownloadFailed = !OutputOpen(SavePath);
    if (DownloadFailed)
        LogMessage("Error couldnt create file %s", SavePath.c_str());
    ProgressSetRange(static_cast<uint16_t>(BytesTotal >> 8));
    ProtocolState = Download;
    ProgressSetStep(1);
    FileListEnable(false);
    // An empty file is complete now; waiting for a read would write the notice into it.
    if (BytesTotal == 0)
        ProtocolState = Command;
}

void WriteDownloadChunk(const char* bytes, uint32_t count)
{
    BytesDone += count;
    // The bytes are still counted after a failure, so that the conversation stays in step.
    if (!DownloadFailed && !OutputWrite(bytes, count)) {
        DownloadFailed = true;
        LogMessage("Error couldnt write file %s", OutputPath.c_str());
    }
    if (BytesDone < BytesTotal)
        ProgressStepIt();
    else
        ProtocolState = Command;
}

void FinishDownload()
{
    CloseOutputFile();
    if (DownloadFailed)
        LogMessage("File %s was not transfered!.", SavePath.c_str());
    else
        LogMessage("File %s successfully transfered!.", SavePath.c_str());
    ProgressSetPos(0);
    FileListEnable(true);
}

void CloseOutputFile()
{
    if (!OutputIsOpen())
        return;
    // Buffered bytes are written now, so a full disk may show only here.
    if (!OutputClose() && !DownloadFailed) {
        DownloadFailed = true;
        LogMessage("Error couldnt write file %s", OutputPath.c_str());
    }
}
