#include "ui/surface_win.h"

#include "base/handles_win.h"

namespace vaq {

bool Surface::Create(int32_t width, int32_t height) {
  if (pixels_ != nullptr && width == width_ && height == height_) return true;
  if (!SurfaceSizeAllowed(width, height)) return false;
  UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  if (!dc) return false;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  UniqueGdiObject bitmap(CreateDIBSection(dc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || bits == nullptr) return false;
  const HGDIOBJ previous = SelectObject(dc.Get(), bitmap.Get());
  if (previous == nullptr || previous == HGDI_ERROR) return false;
  Release();
  previousObject_ = previous;
  dc_ = dc.Take();
  bitmap_ = bitmap.Take();
  pixels_ = static_cast<uint32_t*>(bits);
  width_ = width;
  height_ = height;
  Clear();
  return true;
}

void Surface::Release() {
  if (dc_ != nullptr) {
    SelectObject(static_cast<HDC>(dc_), static_cast<HGDIOBJ>(previousObject_));
    DeleteDC(static_cast<HDC>(dc_));
  }
  if (bitmap_ != nullptr) DeleteObject(static_cast<HGDIOBJ>(bitmap_));
  previousObject_ = nullptr;
  dc_ = nullptr;
  bitmap_ = nullptr;
  pixels_ = nullptr;
  width_ = 0;
  height_ = 0;
}

void Surface::Flush() const { GdiFlush(); }

void BlitTo(const Surface& surface, HDC target, int x, int y) {
  if (target == nullptr || SurfaceDc(surface) == nullptr) return;
  BitBlt(target, x, y, surface.Width(), surface.Height(), SurfaceDc(surface), 0, 0, SRCCOPY);
}

bool PresentLayered(const Surface& surface, HWND window, BYTE constantAlpha) {
  if (surface.Pixels() == nullptr) return false;
  RECT rect;
  if (!GetWindowRect(window, &rect)) return false;
  POINT destination = {rect.left, rect.top};
  SIZE size = {surface.Width(), surface.Height()};
  POINT source = {0, 0};
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, constantAlpha, AC_SRC_ALPHA};
  return UpdateLayeredWindow(window, nullptr, &destination, &size, SurfaceDc(surface), &source, 0, &blend,
                             ULW_ALPHA) != FALSE;
}

}  // namespace vaq
