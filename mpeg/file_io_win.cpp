// kernel32 file layer for Ringfeed.exe.
#include "mpeg/file_io.h"

#include <windows.h>

static HANDLE to_handle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

FileHandle file_open_shared_read(const char* path) {
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return reinterpret_cast<FileHandle>(h);
}

uint32_t file_read(FileHandle file, void* buffer, uint32_t size) {
  DWORD got = 0;
  if (file == kNoFile) return 0;
  // A failed read counts as the end of the data.
  if (!ReadFile(to_handle(file), buffer, size, &got, nullptr)) return 0;
  return got;
}

int64_t file_seek(FileHandle file, int64_t distance, FileSeekMethod method) {
  if (file == kNoFile) return -1;
  LONG high = static_cast<LONG>(distance >> 32);
  SetLastError(NO_ERROR);
  DWORD low = SetFilePointer(to_handle(file), static_cast<LONG>(distance & 0xFFFFFFFF), &high,
                             method == FILE_SEEK_BEGIN ? FILE_BEGIN : FILE_CURRENT);
  // 0xFFFFFFFF is also a valid low half; only GetLastError tells them apart.
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return -1;
  return (static_cast<int64_t>(high) << 32) | low;
}

int64_t file_size(FileHandle file) {
  if (file == kNoFile) return -1;
  DWORD high = 0;
  SetLastError(NO_ERROR);
  DWORD low = GetFileSize(to_handle(file), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
  return (static_cast<int64_t>(high) << 32) | low;
}

int file_close(FileHandle& file) {
  if (file == kNoFile) return 1;
  int ok = CloseHandle(to_handle(file)) != 0;
  file = kNoFile;
  return ok;
}
