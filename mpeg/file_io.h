// The decoder's only contact with the file system: open a file for reading
// while others may still write it, read, seek and size it in 64 bits, close.
// file_io_win.cpp is the kernel32 version, file_io_posix.cpp the POSIX one.
#pragma once

#include <cstdint>

// A kernel32 HANDLE or a POSIX descriptor; kNoFile is INVALID_HANDLE_VALUE's value.
typedef intptr_t FileHandle;
const FileHandle kNoFile = -1;

enum FileSeekMethod { FILE_SEEK_BEGIN = 0, FILE_SEEK_CURRENT = 1 };

// Opens an existing file for reading, sharing read and write access. kNoFile on failure.
FileHandle file_open_shared_read(const char* path);
// Reads up to `size` bytes; returns how many were read (0 at the end or on error).
uint32_t file_read(FileHandle file, void* buffer, uint32_t size);
// Moves the file pointer; returns the new position or -1.
int64_t file_seek(FileHandle file, int64_t distance, FileSeekMethod method);
// The file's current size, or -1.
int64_t file_size(FileHandle file);
// Closes the file and sets the handle to kNoFile, whether or not the close
// succeeded. Returns 1, or 0 when the close failed. Closing kNoFile succeeds.
int file_close(FileHandle& file);
