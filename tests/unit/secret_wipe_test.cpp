// Secrets leave no copy behind: every block freed while a secret is handled is searched for it,
// and the owner's own storage is read back once it is destroyed.
#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <string>
#include <string_view>

#include "app/digit_entry.h"
#include "app/secret.h"
#include "service/authorization.h"
#include "tests/unit/allocation_hooks.h"
#include "tests/unit/fake_digit_slots.h"

namespace vaq {
namespace {

template <typename Char>
bool Holds(const void* memory, size_t size, std::basic_string_view<Char> secret) {
  const auto* bytes = static_cast<const unsigned char*>(memory);
  const auto* wanted = reinterpret_cast<const unsigned char*>(secret.data());
  return std::search(bytes, bytes + size, wanted, wanted + secret.size() * sizeof(Char)) != bytes + size;
}

// Whether memory holds any three units in a row of secret: a copy that lost its first units
// still shows.
template <typename Char>
bool HoldsAPart(const void* memory, size_t size, std::basic_string_view<Char> secret) {
  for (size_t start = 0; start + 3 <= secret.size(); ++start) {
    if (Holds(memory, size, secret.substr(start, 3))) return true;
  }
  return false;
}

// How many blocks freed during road held secret.
template <typename Char, typename Road>
int FreedCopies(std::basic_string_view<Char> secret, Road road) {
  test::SearchFreedBlocksFor(secret.data(), secret.size() * sizeof(Char));
  road();
  test::StopSearching();
  return test::FreedBlocksWithSecret();
}

const std::u16string kLong = u"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

template <typename Char>
struct OwnerRoad {
  const char* what;
  std::basic_string_view<Char> secret;
  void (*road)(Secret<Char>& owner);
};

// Each road runs on an owner in storage of the test's own, which is then read back.
template <typename Char>
void ExpectNoCopyLeft(const OwnerRoad<Char>& c) {
  SCOPED_TRACE(c.what);
  alignas(Secret<Char>) unsigned char storage[sizeof(Secret<Char>)];
  const int freed = FreedCopies(c.secret, [&] {
    auto* owner = new (storage) Secret<Char>();
    c.road(*owner);
    owner->~Secret<Char>();
  });
  EXPECT_EQ(freed, 0);
  EXPECT_FALSE(HoldsAPart(storage, sizeof(storage), c.secret));
}

TEST(SecretWipe, TheOwnersStorageAndBlocksAreWipedWhateverTheyHeld) {
  const std::u16string_view code = u"5839";
  const OwnerRoad<char16_t> cases[] = {
      {"a short secret, held in the owner itself", code, [](SecretText& s) { s = u"5839"; }},
      {"a long secret, held in a block", kLong, [](SecretText& s) { s = kLong; }},
      {"grown one unit at a time", kLong, [](SecretText& s) { for (char16_t c : kLong) s.push_back(c); }},
      {"grown by appending", kLong, [](SecretText& s) {
         s = std::u16string_view(kLong).substr(0, 7);
         s.append(std::u16string_view(kLong).substr(7));
       }},
      {"moved away", code, [](SecretText& s) { s = u"5839"; const SecretText moved(std::move(s)); }},
      {"moved away by assignment", code, [](SecretText& s) {
         s = u"5839";
         SecretText moved;
         moved = std::move(s);
       }},
      {"moved over", kLong, [](SecretText& s) { s = kLong; s = SecretText(u"0000"); }},
      {"cleared", kLong, [](SecretText& s) { s = kLong; s.clear(); }},
      {"shortened", kLong, [](SecretText& s) { s = kLong; s.resize(1); }},
      {"given a part of itself", kLong, [](SecretText& s) {
         s = kLong;
         s = s.view().substr(32);
         EXPECT_EQ(s, std::u16string_view(kLong).substr(32));
       }},
  };
  for (const auto& c : cases) ExpectNoCopyLeft(c);
}

TEST(SecretWipe, ABodyLeavesNoCopyInItsOwner) {
  const std::string_view body = "{\"code\":\"5839\"}";
  const OwnerRoad<char> cases[] = {
      {"moved away", body, [](SecretBytes& s) { s = "{\"code\":\"5839\"}"; const SecretBytes moved(std::move(s)); }},
      {"grown past a short body", body, [](SecretBytes& s) {
         s = "{\"code\":\"5839\"}";
         s.append("\n");
       }},
      {"read into, piece by piece", body, [](SecretBytes& s) {
         for (const char c : std::string_view("{\"code\":\"5839\"}")) {
           char* room = s.grow(4);
           room[0] = c;
           s.resize(s.size() - 3);
         }
       }},
  };
  for (const auto& c : cases) ExpectNoCopyLeft(c);
}

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
    SCOPED_TRACE(c.what);
    const auto paste = [&] {
      // As the clipboard handler does: filter, then place.
      SetupContext context;
      test::FakeDigitSlots slots;
      const SecretText text = FilterPastedText(c.block.data(), c.block.size());
      PlaceDigits(context, slots, 0, text);
    };
    EXPECT_EQ(FreedCopies(std::u16string_view(c.block).substr(0, 4), paste), 0);
    EXPECT_EQ(FreedCopies(std::string_view("5839"), paste), 0) << "the code read back from the boxes";
  }
}

TEST(SecretWipe, TheExchangeLeavesNoCopyOfTheCodeOrTheGrant) {
  const std::string grant(kLong.begin(), kLong.end());
  const std::string_view tail = std::string_view(grant).substr(grant.size() - 32);
  const std::u16string_view wideTail = std::u16string_view(kLong).substr(kLong.size() - 32);
  const struct {
    const char* what;
    std::string reply;
    bool granted;
  } cases[] = {
      {"bare", "{\"grant\":\"" + grant + "\"}", true},
      {"members after the grant", "{\"grant\":\"" + grant + "\",\"note\":\"" + std::string(200, 'x') + "\"}", true},
      {"malformed after the grant", "{\"grant\":\"" + grant + "\",}", false},
      {"a value glued to the grant", "{\"grant\":\"" + grant + "\"x}", false},
      {"cut inside the grant", "{\"grant\":\"" + grant.substr(0, 40), false},
      {"grant as a bare word", "{\"grant\":" + grant + "}", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto exchange = [&] {
      SetupContext context;
      AuthorizeRequest request;
      request.body = "{\"code\":\"5839\"}";
      ExchangeCodeForGrant(context, request,
                           [&](SetupContext&, std::u16string_view, std::u16string_view,
                               std::u16string_view, std::string_view, SecretBytes& response,
                               uint32_t) {
                             response = c.reply;
                             return true;
                           });
      EXPECT_EQ(request.grant == std::u16string_view(kLong), c.granted);
    };
    EXPECT_EQ(FreedCopies(std::string_view("5839"), exchange), 0);
    EXPECT_EQ(FreedCopies(std::u16string_view(kLong), exchange), 0);
    EXPECT_EQ(FreedCopies(std::string_view(grant), exchange), 0);
    EXPECT_EQ(FreedCopies(wideTail, exchange), 0);
    EXPECT_EQ(FreedCopies(tail, exchange), 0);
  }
}

// The search itself finds a secret in a freed block, and in storage that was not wiped.
TEST(SecretWipe, AnUnwipedCopyIsFound) {
  const std::u16string_view secret = u"5839";
  EXPECT_EQ(FreedCopies(secret, [&] { const std::u16string copy = std::u16string(secret) + kLong; }), 1);
  alignas(std::u16string) unsigned char storage[sizeof(std::u16string)];
  auto* plain = new (storage) std::u16string(secret);
  plain->~basic_string();
  EXPECT_TRUE(Holds(storage, sizeof(storage), secret));
}

}  // namespace
}  // namespace vaq
