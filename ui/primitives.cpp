#include "ui/primitives.h"

#include <algorithm>
#include <cmath>

namespace vaq {
namespace {

uint32_t Scale255(uint32_t value, uint32_t factor) { return (value * factor + 127) / 255; }

struct ScanRange {
  int32_t begin;
  int32_t end;
};

// floor(low) .. ceil(high), exclusive, clipped to 0..limit.
ScanRange Scan(float low, float high, int32_t limit) {
  const float first = std::max(std::floor(low), 0.0f);
  const float last = std::min(std::ceil(high), float(limit));
  return {int32_t(first), int32_t(last)};
}

// The blend of one pixel already known to lie on the surface.
inline void BlendInto(uint32_t& pixel, Colour colour, uint32_t a) {
  if (a == 0) return;
  const uint32_t r = colour & 0xFF;
  const uint32_t g = (colour >> 8) & 0xFF;
  const uint32_t b = (colour >> 16) & 0xFF;
  if (a >= 255) {
    pixel = 0xFF000000u | (r << 16) | (g << 8) | b;
    return;
  }
  const uint32_t k = 255 - a;
  const auto mix = [&](uint32_t source, uint32_t destination) {
    return std::min<uint32_t>(255, Scale255(source, a) + Scale255(destination, k));
  };
  const uint32_t outB = mix(b, pixel & 0xFF);
  const uint32_t outG = mix(g, (pixel >> 8) & 0xFF);
  const uint32_t outR = mix(r, (pixel >> 16) & 0xFF);
  const uint32_t outA = a + Scale255(pixel >> 24, k);
  pixel = (outA << 24) | (outR << 16) | (outG << 8) | outB;
}

}  // namespace

void BlendPixel(Surface& surface, uint32_t x, uint32_t y, Colour colour, uint32_t a) {
  if (surface.Pixels() == nullptr) return;
  if (x >= uint32_t(surface.Width()) || y >= uint32_t(surface.Height())) return;
  BlendInto(surface.Pixels()[size_t(y) * uint32_t(surface.Width()) + x], colour, a);
}

void FillRoundRect(Surface& surface, float left, float top, float right, float bottom, float radius,
                   Colour colour, uint32_t alpha) {
  if (surface.Pixels() == nullptr || top >= bottom || left >= right) return;
  const ScanRange columns = Scan(left - 1.0f, right + 1.0f, surface.Width());
  const ScanRange rows = Scan(top - 1.0f, bottom + 1.0f, surface.Height());
  const float hw = (right - left) * 0.5f;
  const float hh = (bottom - top) * 0.5f;
  const float cx = left + hw;
  const float cy = top + hh;
  const float r = std::max(std::min(std::min(hh, hw), radius), 0.0f);
  const float a0 = float(std::min<uint32_t>(alpha, 255));
  for (int32_t y = rows.begin; y < rows.end; ++y) {
    uint32_t* row = surface.Pixels() + size_t(y) * size_t(surface.Width());
    const float qy = std::fabs(float(y) + 0.5f - cy) + (r - hh);
    const float qyOut = std::max(qy, 0.0f);
    const float qy2 = qyOut * qyOut;
    // Every centre of this row lies half a pixel or more outside: coverage rounds to alpha 0.
    if (qy >= r + 0.5f) continue;
    for (int32_t x = columns.begin; x < columns.end; ++x) {
      const float qx = std::fabs(float(x) + 0.5f - cx) + (r - hw);
      const float qxOut = std::max(qx, 0.0f);
      const float squared = qxOut * qxOut + qy2;
      // sqrt(0) is 0: skipping it inside the straight parts changes no pixel.
      const float outer = squared == 0.0f ? 0.0f : std::sqrt(squared);
      const float inner = std::min(std::max(qx, qy), 0.0f);
      const float coverage = std::min((r - (inner + outer)) + 0.5f, 1.0f);
      if (coverage > 0.0f) BlendInto(row[x], colour, uint32_t(coverage * a0 + 0.5f));
    }
  }
}

void DrawShadow(Surface& surface, float left, float top, float right, float bottom, float radius, float blur,
                float offsetY, Colour colour, uint32_t alpha) {
  if (surface.Pixels() == nullptr || top >= bottom || left >= right || blur <= 0.0f) return;
  const ScanRange columns = Scan(left - blur - 1.0f, right + blur + 1.0f, surface.Width());
  const ScanRange rows = Scan(top + offsetY - blur - 1.0f, bottom + offsetY + blur + 1.0f, surface.Height());
  const float hw = (right - left) * 0.5f;
  const float hh = (bottom - top) * 0.5f;
  const float cx = left + hw;
  const float cy = top + hh + offsetY;
  const float r = std::max(std::min(std::min(hh, hw), radius), 0.0f);
  const float a0 = float(std::min<uint32_t>(alpha, 255));
  const float hiddenTop = std::max(top + r + offsetY, top + r);
  const float hiddenBottom = std::min(bottom - r + offsetY, bottom - r);
  const float hiddenLeft = left + 1.0f;
  const float hiddenRight = right - 1.0f;
  // The first column at or right of hiddenRight, where drawing resumes in a hidden row.
  const int32_t hiddenEnd = int32_t(std::max(std::ceil(hiddenRight), 0.0f));
  for (int32_t y = rows.begin; y < rows.end; ++y) {
    uint32_t* row = surface.Pixels() + size_t(y) * size_t(surface.Width());
    const bool hiddenRow = hiddenTop <= float(y) && float(y) < hiddenBottom;
    const float qy = std::fabs(float(y) + 0.5f - cy) + (r - hh);
    const float qyOut = std::max(qy, 0.0f);
    // The whole row lies blur or more below or above the shape: the shadow rounds to alpha 0.
    if (qy - r >= blur) continue;
    for (int32_t x = columns.begin; x < columns.end; ++x) {
      if (hiddenRow && hiddenLeft <= float(x) && float(x) < hiddenRight) {
        x = hiddenEnd - 1;
        continue;
      }
      const float qx = std::fabs(float(x) + 0.5f - cx) + (r - hw);
      const float qxOut = std::max(qx, 0.0f);
      float d = std::sqrt(qxOut * qxOut + qyOut * qyOut) + std::min(std::max(qy, qx), 0.0f) - r;
      d = std::max(d, 0.0f);
      const float t = 1.0f - d / blur;
      if (t > 0.0f) BlendInto(row[x], colour, uint32_t(t * t * a0 + 0.5f));
    }
  }
}

}  // namespace vaq
