// The pasted code's digits leave no copy behind in memory the program gives back: every block
// freed while a paste is handled is searched for them. Its own program, because it replaces the
// global allocation functions to look at each block before it is freed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "app/digit_entry.h"
#include "app/text.h"
#include "tests/unit/fake_digit_slots.h"

namespace {

// Each block carries its size in front of it, so that delete knows how much to search.
constexpr size_t kHeader = 16;

bool g_inspecting = false;
const unsigned char* g_secret = nullptr;
size_t g_secretSize = 0;
int g_freedWithSecret = 0;

void Inspect(const unsigned char* block, size_t size) {
  if (!g_inspecting || size < g_secretSize) return;
  if (std::search(block, block + size, g_secret, g_secret + g_secretSize) != block + size) ++g_freedWithSecret;
}

}  // namespace

void* operator new(size_t size) {
  auto* base = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (base == nullptr) throw std::bad_alloc();
  std::memcpy(base, &size, sizeof(size));
  return base + kHeader;
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* block) noexcept {
  if (block == nullptr) return;
  unsigned char* base = static_cast<unsigned char*>(block) - kHeader;
  size_t size = 0;
  std::memcpy(&size, base, sizeof(size));
  Inspect(static_cast<unsigned char*>(block), size);
  std::free(base);
}
void operator delete[](void* block) noexcept { operator delete(block); }
void operator delete(void* block, size_t) noexcept { operator delete(block); }
void operator delete[](void* block, size_t) noexcept { operator delete(block); }

namespace vaq {
namespace {

TEST(SecretWipe, APasteLeavesNoCopyOfItsDigitsInFreedMemory) {
  const std::u16string nul(1, u'\0');
  const std::u16string digits = u"58392016";
  const struct {
    std::u16string block;
    const char* what;
  } cases[] = {
      {digits + u" " + digits + u"\r\n" + digits + nul, "a long paste, filtered and refused by the boxes"},
      {digits + digits + digits + digits, "no NUL within the bound"},
      {digits + u"\t" + digits + u"\t" + digits, "no NUL within the block"},
      {u"5839" + nul, "a whole code"},
  };
  for (const auto& c : cases) {
    SetupContext context;
    test::FakeDigitSlots slots;
    const std::u16string secret = c.block.substr(0, 4);
    g_secret = reinterpret_cast<const unsigned char*>(secret.data());
    g_secretSize = secret.size() * sizeof(char16_t);
    g_freedWithSecret = 0;
    g_inspecting = true;
    {
      // As the clipboard handler does: filter, place, wipe.
      std::u16string text = FilterPastedText(c.block.data(), c.block.size());
      PlaceDigits(context, slots, 0, text);
      SecureWipe(text.data(), text.size() * sizeof(char16_t));
    }
    g_inspecting = false;
    EXPECT_EQ(g_freedWithSecret, 0) << c.what;
  }
}

// The search itself finds a secret in a freed block.
TEST(SecretWipe, AnUnwipedFreedCopyIsFound) {
  const std::u16string secret = u"5839";
  g_secret = reinterpret_cast<const unsigned char*>(secret.data());
  g_secretSize = secret.size() * sizeof(char16_t);
  g_freedWithSecret = 0;
  {
    const std::u16string copy = secret + std::u16string(16, u'.');
    g_inspecting = true;
  }
  g_inspecting = false;
  EXPECT_EQ(g_freedWithSecret, 1);
}

}  // namespace
}  // namespace vaq
