// Picture buffers.
#include "mpeg/picture.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "mpeg/big_block.h"
#include "mpeg/limits.h"
#include "mpeg/lock.h"

namespace {

// Storage of released pictures, kept for the next picture of the same size:
// the decoder takes a new picture for every coded one, and fresh megabytes
// from the system cost a page fault on every page they touch.
const int kPoolSize = 4;
Lock g_pool_lock;
uint8_t* g_pool[kPoolSize];
size_t g_pool_bytes[kPoolSize];
int g_pool_count = 0;

uint8_t* TakeStorage(size_t bytes) {
  {
    LockHold hold(g_pool_lock);
    for (int i = 0; i < g_pool_count; ++i) {
      if (g_pool_bytes[i] != bytes) continue;
      uint8_t* storage = g_pool[i];
      --g_pool_count;
      g_pool[i] = g_pool[g_pool_count];
      g_pool_bytes[i] = g_pool_bytes[g_pool_count];
      return storage;
    }
  }
  return big_block_new(bytes);
}

void GiveStorage(uint8_t* storage, size_t bytes) {
  {
    LockHold hold(g_pool_lock);
    if (g_pool_count < kPoolSize) {
      g_pool[g_pool_count] = storage;
      g_pool_bytes[g_pool_count] = bytes;
      ++g_pool_count;
      return;
    }
  }
  big_block_free(storage, bytes);
}

size_t StorageBytes(int32_t width, int32_t height) {
  return 3 * static_cast<size_t>(width) * static_cast<size_t>(height) + 16;
}

}  // namespace

Picture* picture_new(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0 || width > kMaxCodedSize || height > kMaxCodedSize) return nullptr;
  Picture* p = new (std::nothrow) Picture();
  if (!p) return nullptr;
  size_t plane = static_cast<size_t>(width) * static_cast<size_t>(height);
  p->storage = TakeStorage(StorageBytes(width, height));
  if (!p->storage) {
    delete p;
    return nullptr;
  }
  p->width = width;
  p->height = height;
  p->reference_count = 1;
  uintptr_t base = reinterpret_cast<uintptr_t>(p->storage);
  p->y = p->storage + (16 - (base & 15));
  p->cb = p->y + plane;
  p->cr = p->cb + plane;
  return p;
}

Picture* picture_copy(const Picture* p) {
  if (!p) return nullptr;
  Picture* copy = picture_new(p->width, p->height);
  if (!copy) return nullptr;
  memcpy(copy->y, p->y, 3 * static_cast<size_t>(p->width) * static_cast<size_t>(p->height));
  return copy;
}

void picture_release(Picture* p) {
  if (!p || --p->reference_count > 0) return;
  GiveStorage(p->storage, StorageBytes(p->width, p->height));
  delete p;
}

void picture_pool_clear() {
  LockHold hold(g_pool_lock);
  while (g_pool_count > 0) {
    --g_pool_count;
    big_block_free(g_pool[g_pool_count], g_pool_bytes[g_pool_count]);
  }
}

Picture* picture_retain(Picture* p) {
  if (p) ++p->reference_count;
  return p;
}
