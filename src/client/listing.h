// Listing text and its entries. Plain rules, no Windows header.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// Appends the pieces of text (counted up to its first NUL) between occurrences of
// delimiter to list; returns the number of strings in list afterwards.
std::size_t SplitString(const std::string& text, const std::string& delimiter,
                        std::vector<std::string>& list);

enum class EntryKind { Directory, Parent, File };

// "[" anywhere: a directory; otherwise ".." anywhere: the parent; otherwise a file.
EntryKind ClassifyEntry(const std::string& entry);

// The name of a directory entry: after the first "[", (position of the last "]") - 1
// characters, in unsigned 32-bit arithmetic, cut at the end of the text.
std::string DirectoryNameOfEntry(const std::string& entry);
