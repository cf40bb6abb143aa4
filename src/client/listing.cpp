// Listing text and its entries.
#include "client/listing.h"

#include <cstdint>
#include <cstring>

std::size_t SplitString(const std::string& text, const std::string& delimiter,
                        std::vector<std::string>& list)
{
    const std::size_t length = std::strlen(text.c_str());  // the text ends at its first NUL
    const std::string whole(text.c_str(), length);
    if (delimiter.empty()) {
        // Nothing to split on: the whole text is one piece.
        if (length > 0)
            list.push_back(whole);
        return list.size();
    }
    const std::size_t dlen = delimiter.size();
    std::size_t start = 0;
    std::size_t pos = whole.find(delimiter, 0);
    while (pos != std::string::npos) {
        if (start >= length)
            break;
        list.push_back(start < pos ? whole.substr(start, pos - start) : std::string());
        start = pos + dlen;
        pos = whole.find(delimiter, pos + 1);
    }
    if (start < length)
        list.push_back(whole.substr(start));
    return list.size();
}

EntryKind ClassifyEntry(const std::string& entry)
{
    if (entry.find('[') != std::string::npos)
        return EntryKind::Directory;
    if (entry.find("..") != std::string::npos)
        return EntryKind::Parent;
    return EntryKind::File;
}

std::string DirectoryNameOfEntry(const std::string& entry)
{
    std::size_t open = entry.find('[');
    if (open == std::string::npos)
        return std::string();
    std::size_t close = entry.rfind(']');
    if (close == std::string::npos || close == 0)
        return entry.substr(open + 1);  // no usable "]": the name runs to the end
    // The length counts from the start of the entry, not from "[", so "x[docs]" gives "docs]";
    // servers write "[name]" at the start, where this is exactly the name.
    uint32_t count = static_cast<uint32_t>(close) - 1u;
    return entry.substr(open + 1, count);
}
