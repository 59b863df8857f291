// Host backing of Surface: plain memory, no device context.
#include <cstddef>
#include <new>

#include "ui/surface.h"

namespace vaq {

bool Surface::Create(int32_t width, int32_t height) {
  if (pixels_ != nullptr && width == width_ && height == height_) return true;
  if (!SurfaceSizeAllowed(width, height)) return false;
  uint32_t* pixels = new (std::nothrow) uint32_t[size_t(width) * size_t(height)]();
  if (pixels == nullptr) return false;
  Release();
  pixels_ = pixels;
  width_ = width;
  height_ = height;
  return true;
}

void Surface::Release() {
  delete[] pixels_;
  pixels_ = nullptr;
  width_ = 0;
  height_ = 0;
}

void Surface::Flush() const {}

}  // namespace vaq
