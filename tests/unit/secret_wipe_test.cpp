// Secrets leave no copy behind: every block freed while a secret is handled, and every block
// still alive after it, is searched for any eight characters of it in a row, and the owner's own
// storage is read back once it is destroyed.
#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "app/digit_entry.h"
#include "base/secret.h"
#include "service/authorization.h"
#include "tests/unit/allocation_hooks.h"
#include "tests/unit/fake_digit_slots.h"

namespace vaq {
namespace {

// How many blocks freed during road held what a leak of the secret looks like.
template <typename Road>
int FreedCopies(const test::Leak& leak, Road road) {
  test::SearchBlocksFor(leak);
  road();
  test::StopSearching();
  return test::FreedBlocksWithLeak();
}

// A grant as the service hands it out; no run of its characters repeats.
const std::u16string kLong = u"9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
const std::string kGrant(kLong.begin(), kLong.end());

template <typename Char>
struct OwnerRoad {
  const char* what;
  std::string_view secret;
  void (*road)(Secret<Char>& owner);
};

// Each road runs on an owner in storage of the test's own, which is then read back, as even
// three characters in a row are. An owner the road leaves empty holds no block with the secret.
template <typename Char>
void ExpectNoCopyLeft(const OwnerRoad<Char>& c) {
  SCOPED_TRACE(c.what);
  alignas(Secret<Char>) unsigned char storage[sizeof(Secret<Char>)];
  const test::Leak leak(c.secret);
  const int freed = FreedCopies(leak, [&] {
    auto* owner = new (storage) Secret<Char>();
    c.road(*owner);
    if (owner->empty()) {
      EXPECT_EQ(test::LiveBlocksWithLeak(), 0) << "left in the emptied owner's block";
    }
    owner->~Secret<Char>();
  });
  EXPECT_EQ(freed, 0);
  EXPECT_FALSE(test::Leak(c.secret, 3).In(storage, sizeof(storage)));
}

TEST(SecretWipe, TheOwnersStorageAndBlocksAreWipedWhateverTheyHeld) {
  const std::string_view code = "5839";
  const OwnerRoad<char16_t> cases[] = {
      {"a short secret, held in the owner itself", code, [](SecretText& s) { s = u"5839"; }},
      {"a long secret, held in a block", kGrant, [](SecretText& s) { s = kLong; }},
      {"grown one unit at a time", kGrant, [](SecretText& s) { for (char16_t c : kLong) s.push_back(c); }},
      {"grown by appending", kGrant, [](SecretText& s) {
         s = std::u16string_view(kLong).substr(0, 7);
         s.append(std::u16string_view(kLong).substr(7));
       }},
      {"moved away", code, [](SecretText& s) { s = u"5839"; const SecretText moved(std::move(s)); }},
      {"moved away by assignment", code, [](SecretText& s) {
         s = u"5839";
         SecretText moved;
         moved = std::move(s);
       }},
      {"moved over", kGrant, [](SecretText& s) { s = kLong; s = SecretText(u"0000"); }},
      {"cleared", kGrant, [](SecretText& s) { s = kLong; s.clear(); }},
      {"shortened", kGrant, [](SecretText& s) { s = kLong; s.resize(1); }},
      {"given a part of itself", kGrant, [](SecretText& s) {
         s = kLong;
         s = s.view().substr(32);
         EXPECT_EQ(s, std::u16string_view(kLong).substr(32));
       }},
  };
  for (const auto& c : cases) ExpectNoCopyLeft(c);
}

TEST(SecretWipe, ABodyLeavesNoCopyInItsOwner) {
  const std::string_view body = "5839";
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
      {"cleared", body, [](SecretBytes& s) {
         s = "{\"code\":\"5839\"}";
         s.clear();
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
    EXPECT_EQ(FreedCopies(test::Leak("5839"), paste), 0) << "the pasted digits, or the code read back from the boxes";
  }
}

// What outlives the exchange (the request, the grant's own block aside, and the context) and
// what it freed hold neither the code nor any part of the grant, whatever the reply.
TEST(SecretWipe, TheExchangeLeavesNoCopyOfTheCodeOrTheGrant) {
  const std::string& grant = kGrant;
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
  const test::Leak leaks[] = {test::Leak("5839"), test::Leak(grant)};
  for (const auto& c : cases) {
    for (const test::Leak& leak : leaks) {
      SCOPED_TRACE(testing::Message() << c.what << (&leak == &leaks[0] ? ": the code" : ": the grant"));
      test::SearchBlocksFor(leak);
      {
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
        EXPECT_EQ(test::LiveBlocksWithLeak(request.grant.data()), 0) << "in a block still alive";
        EXPECT_FALSE(leak.In(&request, sizeof(request))) << "in the request";
        EXPECT_FALSE(leak.In(&context, sizeof(context))) << "in the context";
      }
      test::StopSearching();
      EXPECT_EQ(test::FreedBlocksWithLeak(), 0) << "in a freed block";
    }
  }
}

// The search itself finds a secret in a freed block, eight characters of the grant in a block
// as small as a parser's first token buffer, a block still alive, and storage that was not wiped.
TEST(SecretWipe, AnUnwipedCopyIsFound) {
  EXPECT_EQ(FreedCopies(test::Leak("5839"), [&] { const std::u16string copy = u"5839" + kLong; }), 1);
  const test::Leak grant(kGrant);
  EXPECT_EQ(FreedCopies(grant, [&] { const std::vector<char> token(kGrant.begin() + 20, kGrant.begin() + 28); }), 1);
  EXPECT_EQ(FreedCopies(grant, [&] { const std::vector<char> token(kGrant.begin() + 20, kGrant.begin() + 27); }), 0)
      << "seven characters are not taken for the grant";
  test::SearchBlocksFor(grant);
  auto kept = std::make_unique<std::u16string>(kLong.substr(30, 8) + std::u16string(16, u' '));
  EXPECT_EQ(test::LiveBlocksWithLeak(), 1);
  EXPECT_EQ(test::LiveBlocksWithLeak(kept->data()), 0);
  kept.reset();
  EXPECT_EQ(test::LiveBlocksWithLeak(), 0);
  test::StopSearching();
  alignas(std::u16string) unsigned char storage[sizeof(std::u16string)];
  auto* plain = new (storage) std::u16string(u"5839");
  plain->~basic_string();
  EXPECT_TRUE(test::Leak("5839").In(storage, sizeof(storage)));
}

}  // namespace
}  // namespace vaq
