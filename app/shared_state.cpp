#include "app/shared_state.h"

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
