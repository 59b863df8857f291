#pragma once
// The pixel array every drawing operation writes into: 32-bit words 0xAARRGGBB (bytes B, G, R,
// A), rows top-down, stride width * 4, premultiplied alpha. On Windows the memory is a DIB
// section selected into a memory DC, so GDI can draw into it and the layered window can show
// it; on the host it is plain memory and the GDI steps do not exist.
#include <cstdint>

namespace vaq {

class Surface {
 public:
  static constexpr int32_t kMaxSide = 16384;
  static constexpr int64_t kMaxPixels = int64_t{1} << 26;

  Surface() = default;
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;
  ~Surface() { Release(); }

  // Exactly width x height, transparent; keeps the content when the size is already that. On
  // failure the previous content stays as it was.
  bool Create(int32_t width, int32_t height);
  void Release();
  void Clear();
  // Sets A = 255 inside the rectangle clipped to the surface, colour bytes unchanged.
  void MakeOpaque(int32_t left, int32_t top, int32_t right, int32_t bottom);
  // Waits for drawing the system batched into the pixels (GdiFlush on Windows).
  void Flush() const;

  uint32_t* Pixels() const { return pixels_; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  // The memory DC holding the pixels (an HDC); null on the host.
  void* DeviceContext() const { return dc_; }

 private:
  void* previousObject_ = nullptr;
  void* dc_ = nullptr;
  void* bitmap_ = nullptr;
  uint32_t* pixels_ = nullptr;
  int32_t width_ = 0;
  int32_t height_ = 0;
};

bool SurfaceSizeAllowed(int32_t width, int32_t height);

}  // namespace vaq
