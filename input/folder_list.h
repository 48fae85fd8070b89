// The Recent folder list ("FolderList"): entries "<digit><folder>" joined by
// '|', most recent first; the digit is the file-type filter last used there.
// Portable: the texts are code page 932 and searched character by character.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Kept below this length, terminator excluded.
const size_t kFolderListLimit = 4096;

// The folders of the list in order, without their digits; empty entries and
// folders already listed (case-insensitive) are skipped.
std::vector<std::string> FolderListPaths(const char* list);

// 1-based filter index to open with: the value of the list's leading digits
// plus 1 (1 for an empty list).
int FolderListFilterIndex(const char* list);

// The filter digit stored with `folder` (a whole entry, case-insensitive),
// -1 when the folder is not in the list or is empty.
int FolderFilter(const char* list, const char* folder);

// The list after a file was accepted in `items[0]` with filter `filter`
// (0-based): `items` are the recent-folder combo's entries with the current
// folder first. Later entries keep the digit they had in `previous` and are
// dropped when they had none; the result stays below kFolderListLimit.
std::string RebuildFolderList(const char* previous, int filter, const std::vector<std::string>& items);

// `folder` followed by "\*", or by "*" when it already ends in a backslash.
// False when the result does not fit `size` bytes.
bool AppendWildcard(const char* folder, char* out, size_t size);

// Case-insensitive comparison of code page 932 texts: ASCII letters fold,
// double-byte characters compare exactly.
bool SameText(const char* a, const char* b);
