// OutputFile on a binary file stream.
#include <fstream>

#include "client/front_end.h"

static std::ofstream OutputStream;

bool OutputOpen(const std::string& path)
{
    if (OutputStream.is_open())
        OutputStream.close();
    OutputStream.clear();
    OutputStream.open(path, std::ios::out | std::ios::binary | std::ios::trunc);
    return OutputStream.is_open();
}

bool OutputWrite(const char* bytes, std::size_t count)
{
    if (!OutputStream.is_open())
        return false;
    OutputStream.write(bytes, static_cast<std::streamsize>(count));
    return !OutputStream.fail();
}

bool OutputClose()
{
    if (!OutputStream.is_open())
        return true;
    OutputStream.close();
    const bool written = !OutputStream.fail();  // failbit: a write or the final flush failed
    OutputStream.clear();
    return written;
}

bool OutputIsOpen()
{
    return OutputStream.is_open();
}
