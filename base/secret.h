#pragma once
// The one owner of secrets (the code, the request body, the grant): every buffer it lets go of is
// wiped first. Its units live in heap blocks only, never in the owner itself (as a short string's
// would), and each block is wiped before it is freed: destruction, growth, moves and clearing
// leave no copy behind.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"

namespace vaq {

template <typename Char>
struct WipingAllocator {
  using value_type = Char;

  WipingAllocator() = default;
  template <typename Other>
  WipingAllocator(const WipingAllocator<Other>&) noexcept {}

  Char* allocate(size_t count) { return std::allocator<Char>().allocate(count); }
  void deallocate(Char* block, size_t count) noexcept {
    SecureWipe(block, count * sizeof(Char));
    std::allocator<Char>().deallocate(block, count);
  }

  template <typename Other>
  bool operator==(const WipingAllocator<Other>&) const noexcept { return true; }
  template <typename Other>
  bool operator!=(const WipingAllocator<Other>&) const noexcept { return false; }
};

template <typename Char>
class Secret {
 public:
  using View = std::basic_string_view<Char>;

  Secret() = default;
  explicit Secret(View text) : units_(text.begin(), text.end()) {}
  Secret(const Secret& other) = default;
  // A moved vector hands over its block and keeps none.
  Secret(Secret&& other) noexcept = default;
  Secret& operator=(const Secret& other) {
    if (this != &other) assign(other.view());
    return *this;
  }
  Secret& operator=(View text) {
    assign(text);
    return *this;
  }
  Secret& operator=(Secret&& other) noexcept = default;

  View view() const noexcept { return {units_.data(), units_.size()}; }
  operator View() const noexcept { return view(); }
  const Char* data() const noexcept { return units_.data(); }
  size_t size() const noexcept { return units_.size(); }
  bool empty() const noexcept { return units_.empty(); }
  Char operator[](size_t index) const noexcept { return units_[index]; }

  void reserve(size_t count) { units_.reserve(count); }
  Secret& append(View text) {
    units_.insert(units_.end(), text.begin(), text.end());
    return *this;
  }
  void push_back(Char c) { units_.push_back(c); }
  // Safe when text is a view of this owner's own units.
  void assign(View text) { *this = Secret(text); }
  // Room for count units more at the end, for a reader to fill; resize() then keeps what it wrote.
  Char* grow(size_t count) {
    const size_t size = units_.size();
    units_.resize(size + count);
    return units_.data() + size;
  }
  void resize(size_t count) { units_.resize(count); }

  // Gives the block back, wiped, and leaves the owner empty.
  void clear() noexcept { std::vector<Char, WipingAllocator<Char>>().swap(units_); }

  friend bool operator==(const Secret& a, View b) noexcept { return a.view() == b; }

 private:
  // No terminating NUL: a caller that needs one appends it.
  std::vector<Char, WipingAllocator<Char>> units_;
};

using SecretBytes = Secret<char>;
using SecretText = Secret<char16_t>;

}  // namespace vaq
