#include "ui/surface.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace vaq {

bool SurfaceSizeAllowed(int32_t width, int32_t height) {
  if (width < 1 || width > Surface::kMaxSide || height < 1 || height > Surface::kMaxSide) return false;
  return int64_t{width} * height <= Surface::kMaxPixels;
}

void Surface::Clear() {
  if (pixels_ == nullptr) return;
  std::memset(pixels_, 0, size_t(width_) * size_t(height_) * 4);
}

void Surface::MakeOpaque(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (pixels_ == nullptr) return;
  Flush();
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, width_);
  bottom = std::min(bottom, height_);
  for (int32_t y = top; y < bottom; ++y) {
    uint32_t* row = pixels_ + size_t(y) * size_t(width_);
    for (int32_t x = left; x < right; ++x) row[x] |= 0xFF000000u;
  }
}

}  // namespace vaq
