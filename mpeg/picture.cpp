// Picture buffers.
#include "mpeg/picture.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "mpeg/limits.h"

Picture* picture_new(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0 || width > kMaxCodedSize || height > kMaxCodedSize) return nullptr;
  Picture* p = new (std::nothrow) Picture();
  if (!p) return nullptr;
  size_t plane = static_cast<size_t>(width) * static_cast<size_t>(height);
  p->storage = static_cast<uint8_t*>(malloc(3 * plane + 16));
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
  free(p->storage);
  delete p;
}

Picture* picture_retain(Picture* p) {
  if (p) ++p->reference_count;
  return p;
}
