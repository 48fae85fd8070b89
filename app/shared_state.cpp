#include "app/shared_state.h"

#include <cstring>
#include <thread>

#include "app/settings_table.h"

std::atomic<uint32_t> g_pendingCommands{0};
std::atomic<uint32_t> g_stopped{1};
std::atomic<uint64_t> g_inputSize{0};
std::atomic<uint64_t> g_inputOffset{0};
std::atomic<uint64_t> g_outputOffset{0};
std::atomic<uint64_t> g_ringFileLength{0};
std::atomic<uint64_t> g_ringEnd{0};
std::atomic<int32_t> g_startPermille{0};
std::atomic<int32_t> g_writeFromHead{0};
std::atomic<int32_t> g_keepPreviousTail{0};
std::atomic<int32_t> g_audioDelay{0};
std::atomic<uint32_t> g_audioBitRate{0};

namespace {

std::atomic_flag g_inputPathBusy = ATOMIC_FLAG_INIT;

void CopyInputPath(char* to, const char* from) {
  while (g_inputPathBusy.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
  size_t length = strnlen(from, sizeof g_settings.File - 1);
  memcpy(to, from, length);
  to[length] = '\0';
  g_inputPathBusy.clear(std::memory_order_release);
}

}  // namespace

void StoreInputPath(const char* path) { CopyInputPath(g_settings.File, path); }

void LoadInputPath(char* path) { CopyInputPath(path, g_settings.File); }
